// A rendered person for the scored set: a mannequin of blobs with skin,
// hair made of strands, clothes with a pattern. Declared from the command
// line: Seed (any integer) and Pose (0 standing, 1 arm on the hip, which
// leaves backdrop between arm and body, 2 arms out).
#version 3.7;
#include "colors.inc"
#include "rand.inc"
#ifndef (Seed) #declare Seed = 1; #end
#ifndef (Pose) #declare Pose = 0; #end
#declare R = seed(Seed * 7919 + 13);

global_settings { assumed_gamma 1.0 }
camera { perspective location <0, 0.95, -6.2> look_at <0, 0.92, 0> angle 26 }
light_source { <-4, 6, -6> color rgb 1.1 area_light <1.5, 0, 0>, <0, 1.5, 0>, 3, 3 adaptive 1 jitter }
light_source { <5, 3, -4> color rgb 0.45 }
light_source { <0, 4, 6> color rgb 0.5 } // rim light from behind

#declare Skins = array[5] { <0.95, 0.76, 0.62>, <0.80, 0.58, 0.42>, <0.55, 0.37, 0.25>, <0.36, 0.23, 0.15>, <0.98, 0.84, 0.74> };
#declare Hairs = array[6] { <0.05, 0.04, 0.03>, <0.25, 0.15, 0.07>, <0.55, 0.38, 0.18>, <0.85, 0.72, 0.45>, <0.45, 0.45, 0.45>, <0.6, 0.2, 0.08> };
#declare Skin = Skins[floor(rand(R) * 5)];
#declare Hair = Hairs[floor(rand(R) * 6)];
#declare Shirt = <rand(R), rand(R), rand(R)> * 0.85 + 0.05;
#declare Trousers = <rand(R), rand(R), rand(R)> * 0.5 + 0.05;
#declare Pattern = floor(rand(R) * 3);
#declare LongHair = (rand(R) < 0.5);
#declare Turn = (rand(R) - 0.5) * 40;

#declare SkinTexture = texture { pigment { rgb Skin } normal { bumps 0.05 scale 0.01 } finish { diffuse 0.8 specular 0.15 roughness 0.05 subsurface { translucency 0.1 } } }
#declare ShirtPigment = pigment {
  #switch (Pattern)
  #case (0) rgb Shirt #break
  #case (1) gradient y color_map { [0.5 rgb Shirt] [0.5 rgb Shirt * 0.35 + 0.6] } scale 0.08 #break
  #else checker rgb Shirt, rgb Shirt * 0.5 scale 0.05
  #end
}
#declare ShirtTexture = texture { pigment { ShirtPigment } normal { wrinkles 0.35 scale 0.15 } finish { diffuse 0.85 } }
#declare TrouserTexture = texture { pigment { rgb Trousers } normal { wrinkles 0.3 scale 0.2 } finish { diffuse 0.8 } }

#macro Limb(A, B, r1, r2) cone { A, r1, B, r2 } sphere { B, r2 } #end

// Arms: shoulder, elbow, hand for each pose.
#declare ShoulderL = <-0.24, 1.42, 0>; #declare ShoulderR = <0.24, 1.42, 0>;
#switch (Pose)
#case (1) #declare ElbowL = <-0.48, 1.15, 0.02>; #declare HandL = <-0.22, 0.98, -0.05>;
          #declare ElbowR = <0.30, 1.12, 0>; #declare HandR = <0.33, 0.84, 0>; #break
#case (2) #declare ElbowL = <-0.52, 1.36, 0>; #declare HandL = <-0.78, 1.50, -0.05>;
          #declare ElbowR = <0.50, 1.30, 0>; #declare HandR = <0.74, 1.18, -0.05>; #break
#else     #declare ElbowL = <-0.31, 1.13, 0>; #declare HandL = <-0.34, 0.84, -0.02>;
          #declare ElbowR = <0.31, 1.13, 0>; #declare HandR = <0.35, 0.85, -0.03>;
#end

#declare Body = union {
  // head, neck, skin
  union {
    sphere { 0, 1 scale <0.105, 0.13, 0.115> translate <0, 1.66, 0> }
    sphere { 0, 1 scale <0.02, 0.03, 0.02> translate <-0.105, 1.65, 0> }
    sphere { 0, 1 scale <0.02, 0.03, 0.02> translate <0.105, 1.65, 0> }
    cylinder { <0, 1.45, 0>, <0, 1.58, 0>, 0.05 }
    sphere { HandL, 0.05 } sphere { HandR, 0.05 }
    #if (Pose != 0) Limb(ElbowL, HandL, 0.045, 0.04) Limb(ElbowR, HandR, 0.045, 0.04) #end
    texture { SkinTexture }
  }
  // shirt: torso and sleeves
  union {
    blob { threshold 0.5
      cylinder { <0, 0.95, 0>, <0, 1.38, 0>, 0.24, 1 }
      sphere { <-0.16, 1.38, 0>, 0.14, 1 } sphere { <0.16, 1.38, 0>, 0.14, 1 }
      scale <1, 1, 0.62>
    }
    Limb(ShoulderL, ElbowL, 0.065, 0.055) Limb(ShoulderR, ElbowR, 0.065, 0.055)
    #if (Pose = 0) Limb(ElbowL, HandL + <0, 0.06, 0>, 0.055, 0.045) Limb(ElbowR, HandR + <0, 0.06, 0>, 0.055, 0.045) #end
    texture { ShirtTexture }
  }
  // trousers and shoes
  union {
    Limb(<-0.1, 0.98, 0>, <-0.12, 0.5, 0>, 0.11, 0.075) Limb(<-0.12, 0.5, 0>, <-0.13, 0.06, 0>, 0.075, 0.055)
    Limb(<0.1, 0.98, 0>, <0.12, 0.5, 0>, 0.11, 0.075) Limb(<0.12, 0.5, 0>, <0.13, 0.06, 0>, 0.075, 0.055)
    texture { TrouserTexture }
  }
  union {
    sphere { 0, 1 scale <0.06, 0.045, 0.13> translate <-0.13, 0.04, -0.05> }
    sphere { 0, 1 scale <0.06, 0.045, 0.13> translate <0.13, 0.04, -0.05> }
    pigment { rgb 0.08 } finish { specular 0.4 }
  }
  // hair: a cap and strands, fine at the edge
  union {
    sphere { 0, 1 scale <0.112, 0.125, 0.12> translate <0, 1.69, 0.012> }
    #declare N = 0;
    #while (N < 260)
      #declare A = rand(R) * 2 * pi;
      #declare E = rand(R) * 0.5 * pi;
      #declare Root = <0.11 * cos(A) * cos(E), 1.70 + 0.12 * sin(E), 0.115 * sin(A) * cos(E) + 0.01>;
      #declare Len = (LongHair ? 0.18 + rand(R) * 0.22 : 0.03 + rand(R) * 0.05);
      #declare Tip = Root + <0.03 * cos(A) + (rand(R) - 0.5) * 0.04, (LongHair ? -Len : Len * 0.4), 0.02 * sin(A)>;
      #if (sin(A) > -0.35 | E > 0.8)
        cylinder { Root, Tip, 0.0035 }
      #end
      #declare N = N + 1;
    #end
    texture { pigment { rgb Hair } finish { specular 0.3 roughness 0.02 } }
  }
}
object { Body rotate y * Turn }
