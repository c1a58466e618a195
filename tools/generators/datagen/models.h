// The show's thirteen models, each built for where its scene puts it. Units
// are the file's; the scenes scale them (title and hand by 0.5, castle and
// flight by 0.1). Atlas regions are shared with the painters (textures.h).
#pragma once

#include "tools/generators/datagen/geometry.h"

Mesh BuildGalaxy();    // sky sphere seen from inside
Mesh BuildNena1();     // girl in a long dress
Mesh BuildNena2();     // second girl, waving
Mesh BuildTio1();      // young man in a jacket
Mesh BuildCaraTio1();  // his head, large, for the profile close-up
Mesh BuildCaraTia1();  // her head
Mesh BuildMano1();     // a hand with its sleeve
Mesh BuildFly();       // the flyer
Mesh BuildCastle1();   // stone: curtain wall, towers, fountain
Mesh BuildCastle2();   // the ground
Mesh BuildCastle3();   // brick houses, chapel and the towers' roofs
Mesh BuildGreet1();    // the credits' cage of twisted tubes
Mesh BuildBolah8();    // a credits ball

// Atlas regions used by the models and painted by the textures.
namespace atlas {
// Figures (Nena1.tga, Tio1.tga): cloth below, head, skin, hair, shoes above.
constexpr UVRect kCloth{0.0f, 0.0f, 1.0f, 0.5f};
constexpr UVRect kCloth2{0.0f, 0.5f, 1.0f, 0.75f};  // Nena1: more dress; Tio1: trousers
constexpr UVRect kHead{0.0f, 0.75f, 0.25f, 1.0f};
constexpr UVRect kSkin{0.25f, 0.75f, 0.5f, 1.0f};
constexpr UVRect kHair{0.5f, 0.75f, 0.75f, 1.0f};
constexpr UVRect kShoes{0.75f, 0.75f, 1.0f, 1.0f};
// Flyer (Fly.tga).
constexpr UVRect kHull{0.0f, 0.0f, 0.5f, 0.5f};
constexpr UVRect kWing{0.5f, 0.0f, 1.0f, 0.5f};
constexpr UVRect kGlass{0.0f, 0.5f, 0.25f, 0.75f};
constexpr UVRect kEngine{0.25f, 0.5f, 0.5f, 0.75f};
constexpr UVRect kFin{0.5f, 0.5f, 1.0f, 0.75f};
// Brick houses (brick1.tga).
constexpr UVRect kDoorFront{0.0f, 0.0f, 0.5f, 0.625f};
constexpr UVRect kWindowFront{0.5f, 0.0f, 1.0f, 0.625f};
constexpr UVRect kRoof{0.0f, 0.625f, 1.0f, 1.0f};
// Sky sphere: longitude repeats, latitude uses the lower three quarters.
constexpr float kSkyRepeats = 3.0f;
constexpr float kSkyTop = 0.75f;
}  // namespace atlas
