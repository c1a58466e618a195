// The title scene: load, render and free. It also owns the records that the
// hand, castle and credits scenes borrow, which is why it loads first.
//
// Main thread only, with the show's OpenGL context current. Times are scene
// milliseconds (the demo clock minus the scene's offset); the stream position
// (bytes) is read inside, afresh at every test.
#pragma once

#include <cstdint>

struct QTL_3DObject;

bool LoadTitleScene();            // at start-up; false after its own box (if any)
void RenderTitleScene(int32_t a);  // a: scene time in milliseconds
void FreeTitleScene();            // frees the texture pixel buffers; safe twice

// Borrowed by later scenes; valid once LoadTitleScene has succeeded and for
// the rest of the run (the scene frees pixel buffers only, never these).
const QTL_3DObject* TitleGalaxyModel();  // the galaxy backdrop, "Data\Galaxy.3DS"
enum class TitleTexture { Nena1, Galaxy, Tio1, Caratio1, Caratia1 };
uint32_t TitleTextureID(TitleTexture which);  // OpenGL texture name; 0 before the load
extern const float Letras_AmbientLight[4];    // RGBA ambient light and material of the lit models

// The full-size galaxy backdrop wearing the OpenGL texture `texID`, turning
// (t - 7.14) x 4 degrees about y, where t is the caller's scene time in its
// own unit (the title scene passes seconds, the hand scene hundredths).
// Leaves culling, texturing, colour material and lighting off.
void DrawGalaxyBackdrop(uint32_t texID, float t);
