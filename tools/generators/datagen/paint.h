// Drawing helpers for the painters: soft shapes and text.
#pragma once

#include "tools/generators/datagen/image.h"

float Clamp01(float x);
float SmoothStep(float e0, float e1, float x);

// Anti-aliased filled ellipse (radii rx, ry) blended with `alpha` at its core.
void FillEllipse(Image& img, float cx, float cy, float rx, float ry, Colour c, float alpha, float soft = 1.0f);
// Soft glow falling off as exp(-(d / radius)^2); adds light.
void Glow(Image& img, float cx, float cy, float rx, float ry, Colour c, float strength);
// Text from the built-in font: cells of `cell` pixels, strokes of round pen,
// centred on (cx, cy). `stretchX` widens letters for maps that squeeze them.
void DrawText(Image& img, const char* text, float cx, float cy, float cell, Colour c, float alpha = 1.0f,
              float stretchX = 1.0f, float pen = 0.62f);
