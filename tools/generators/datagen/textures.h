// The show's fourteen textures, painted to fit their models' mappings.
#pragma once

#include "tools/generators/datagen/image.h"

Image PaintNena1();     // violet silk (dress, early backdrop, credits tubes) + her head, skin, hair, shoes
Image PaintTio1();      // denim jacket, dark trousers + his head, skin, hair, shoes (also the hand)
Image PaintGalaxy();    // starfield and a spiral galaxy for the sky sphere
Image PaintCaraTio1();  // his head for the close-up, longitude across, latitude up
Image PaintCaraTia1();  // her head for the close-up
Image PaintPincho1();   // thorny star, loaded by the hand scene
Image PaintFly();       // the flyer's hull, wings, glass, engines, fins
Image PaintPiedrah();   // stone blocks
Image PaintGround1();   // grass and trodden earth
Image PaintCloud1();    // clouds on a pale sky
Image PaintBrick1();    // brick facades with door and windows, roof tiles
Image PaintCredit1();   // bright bands for the slim credits cage
Image PaintCode();      // credit ball "CODE"
Image PaintVisual();    // credit ball "VISUAL"
