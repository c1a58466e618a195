// The title scene: load, render and free. It also owns the records that the
// hand, castle and credits scenes borrow, which is why it loads first.
#pragma once

#include <cstdint>

struct QTL_3DObject;

bool LoadTitleScene();            // at start-up; false after its own box (if any)
void RenderTitleScene(int32_t a);  // a: scene time in milliseconds
void FreeTitleScene();            // releases the scene's texture pixel buffers

// Borrowed by later scenes; valid once LoadTitleScene has succeeded.
const QTL_3DObject* TitleGalaxyModel();  // the galaxy backdrop, "Data\Galaxy.3DS"
enum class TitleTexture { Nena1, Galaxy, Tio1, Caratio1, Caratia1 };
uint32_t TitleTextureID(TitleTexture which);  // OpenGL texture name
extern const float Letras_AmbientLight[4];    // ambient light and material of the lit set-up
