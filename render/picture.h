// The picture: how the show's frame sits in whatever it is drawn into. The
// show was composed at 640 x 480; wherever it is shown it keeps 4:3, centred
// between black bars, with the projection of that window (45 degrees, near
// plane the single-precision 0.1, far plane 100). In a window on a software
// rasteriser it is drawn at 640 x 480 into an offscreen framebuffer and
// scaled up when presented. Also the baseline GL state every scene starts
// from. The window (app/window.h), the offline tool and the video export all
// compose their frames through this module; it knows nothing of windows.
//
// Sizes are in pixels of the GL drawable, from its bottom-left corner. Main
// thread only, with the context current.
#pragma once

constexpr int kPictureWidth = 640;   // the size the show was composed at
constexpr int kPictureHeight = 480;

struct PictureLayout {
  int drawableWidth, drawableHeight;
  int x, y, width, height;         // the 4:3 viewport on the screen
  int renderWidth, renderHeight;   // drawn at the bottom left, then scaled
};

// The largest 4:3 rectangle inside width x height, centred, rounded to whole
// pixels, never smaller than 1 x 1; rendered at its own size.
PictureLayout PictureFit(int width, int height);

// The size the picture is rendered at in a window before it is scaled up;
// 0 x 0 (the default) chooses: 640 x 480 on a software rasteriser (llvmpipe,
// softpipe), the viewport's own size elsewhere. Never larger than the viewport.
void PictureSetRenderSize(int width, int height);

// A new context is current, on a software rasteriser or not: fetch its
// framebuffer functions through `procAddress` (none where the driver has no
// framebuffer objects: the picture is then never scaled). What an earlier
// context made is forgotten.
void PictureUseContext(void* (*procAddress)(const char* name), bool (*extensionSupported)(const char* name),
                       bool softwareRenderer);

// The context that held the offscreen picture is gone.
void PictureForgetContext();

// Viewport and projection for a drawable of that size, and the offscreen
// picture where `scalable` (a window presents the frame) and the render size
// asks for it. A 640 x 480 drawable gets the viewport (0, 0, 640, 480).
void PictureResize(int drawableWidth, int drawableHeight, bool scalable);

// The viewport of the picture inside a width x height frame, with the
// projection of the show's window: what the offline tool draws through.
void PictureFrame(int width, int height);

// Where the last PictureResize placed the picture.
PictureLayout PictureCurrentLayout();

// The fixed initial GL state every scene starts from.
void PictureBaselineState();

// Before the window's buffers are swapped: scales the offscreen picture up
// to its viewport, between black bars, in the window's own buffer. Returns
// whether it did (then call PictureAfterPresent once the swap is done). Every
// GL state it touches is saved and restored: the next frame starts from what
// the scenes left, as it would without the scaling.
bool PictureBeforePresent();
void PictureAfterPresent();
