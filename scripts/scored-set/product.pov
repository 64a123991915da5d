// A rendered product for the scored set. Declared from the command line:
// Seed (any integer) and Kind: 0 mug (its handle encloses backdrop), 1 desk
// lamp (backdrop between stem and shade), 2 bottle, 3 sunglasses, 4 bicycle
// (wheels and spokes), 5 vase, 6 chair, 7 strawberry-like fruit.
#version 3.7;
#include "colors.inc"
#include "metals.inc"
#include "woods.inc"
#include "rand.inc"
#ifndef (Seed) #declare Seed = 1; #end
#ifndef (Kind) #declare Kind = 0; #end
#declare R = seed(Seed * 104729 + Kind * 31 + 7);

global_settings { assumed_gamma 1.0 }
#declare Colour = <rand(R), rand(R), rand(R)> * 0.85 + 0.05;
#declare Shiny = finish { diffuse 0.75 specular 0.6 roughness 0.01 reflection 0.04 }
#declare Matte = finish { diffuse 0.85 specular 0.1 }
#declare Paint = texture { pigment { rgb Colour } finish { Shiny } }
#declare Metal = texture { T_Chrome_3A }
#declare Wood = texture { T_Wood10 scale 0.3 }
#declare Turn = (rand(R) - 0.5) * 50;

camera { perspective location <0, 1.6, -5.5> look_at <0, 0.55, 0> angle 30 }
light_source { <-4, 6, -5> color rgb 1.1 area_light <1.5, 0, 0>, <0, 1.5, 0>, 3, 3 adaptive 1 jitter }
light_source { <5, 3, -4> color rgb 0.4 }
light_source { <0, 5, 6> color rgb 0.5 }

#declare Thing = union {
#switch (Kind)
#case (0) // mug
  difference { cylinder { <0, 0, 0>, <0, 1.1, 0>, 0.5 } cylinder { <0, 0.08, 0>, <0, 1.2, 0>, 0.44 } }
  torus { 0.3, 0.07 rotate x * 90 scale <1, 1.2, 1> translate <0.62, 0.55, 0> }
  texture { Paint }
#break
#case (1) // desk lamp: base, arched stem, shade
  cylinder { <0, 0, 0>, <0, 0.08, 0>, 0.45 texture { Metal } }
  #declare I = 0;
  #while (I < 24)
    #declare T0 = I / 24 * pi * 0.75; #declare T1 = (I + 1) / 24 * pi * 0.75;
    cylinder { <-0.9 + 0.9 * cos(T0), 0.08 + 1.5 * sin(T0), 0>, <-0.9 + 0.9 * cos(T1), 0.08 + 1.5 * sin(T1), 0>, 0.04 texture { Metal } }
    sphere { <-0.9 + 0.9 * cos(T1), 0.08 + 1.5 * sin(T1), 0>, 0.04 texture { Metal } }
    #declare I = I + 1;
  #end
  difference { cone { <0, 0, 0>, 0.12, <0, -0.45, 0>, 0.42 } cone { <0, 0.01, 0>, 0.1, <0, -0.47, 0>, 0.39 }
    translate <-0.9 + 0.9 * cos(pi * 0.75) - 0.15, 0.08 + 1.5 * sin(pi * 0.75) + 0.05, 0> texture { Paint } }
  translate x * 0.45
#break
#case (2) // bottle
  lathe { cubic_spline 9, <0, 0>, <0, 0>, <0.38, 0.02>, <0.4, 0.9>, <0.3, 1.25>, <0.13, 1.45>, <0.13, 1.85>, <0, 1.86>, <0, 1.86>
    texture { pigment { rgb Colour * 0.6 } finish { Shiny } } }
  cylinder { <0, 0.3, 0>, <0, 0.8, 0>, 0.405 texture { pigment { rgb 1 - Colour * 0.5 } finish { Matte } } }
  cylinder { <0, 1.8, 0>, <0, 1.95, 0>, 0.15 texture { Metal } }
  translate -y * 0.2
#break
#case (3) // sunglasses, seen from the front
  #declare Lens = cylinder { <0, 0, 0>, <0, 0, 0.03>, 1 scale <0.42, 0.3, 1> }
  object { Lens translate <-0.5, 0.7, 0> texture { pigment { rgb 0.04 } finish { specular 0.9 roughness 0.005 reflection 0.15 } } }
  object { Lens translate <0.5, 0.7, 0> texture { pigment { rgb 0.04 } finish { specular 0.9 roughness 0.005 reflection 0.15 } } }
  torus { 1, 0.05 rotate x * 90 scale <0.44, 0.32, 1> translate <-0.5, 0.7, 0> texture { Paint } }
  torus { 1, 0.05 rotate x * 90 scale <0.44, 0.32, 1> translate <0.5, 0.7, 0> texture { Paint } }
  torus { 0.1, 0.035 clipped_by { plane { -y, 0 } } rotate x * 90 translate <0, 0.74, 0> texture { Paint } }
  cylinder { <-0.94, 0.8, 0>, <-1.0, 0.8, 1.3>, 0.04 texture { Paint } }
  cylinder { <0.94, 0.8, 0>, <1.0, 0.8, 1.3>, 0.04 texture { Paint } }
  rotate y * -Turn * 0.6 rotate x * 20
#break
#case (4) // bicycle
  #macro Wheel(C)
    torus { 0.5, 0.05 rotate x * 90 translate C texture { pigment { rgb 0.05 } finish { Matte } } }
    #declare S = 0;
    #while (S < 16)
      cylinder { C, C + <0.47 * cos(S * pi / 8), 0.47 * sin(S * pi / 8), 0>, 0.006 texture { Metal } }
      #declare S = S + 1;
    #end
  #end
  Wheel(<-0.85, 0.55, 0>) Wheel(<0.85, 0.55, 0>)
  union {
    cylinder { <-0.85, 0.55, 0>, <-0.1, 0.55, 0>, 0.035 } cylinder { <-0.1, 0.55, 0>, <-0.25, 1.2, 0>, 0.035 }
    cylinder { <-0.85, 0.55, 0>, <-0.25, 1.2, 0>, 0.03 } cylinder { <-0.25, 1.2, 0>, <0.6, 1.2, 0>, 0.035 }
    cylinder { <-0.1, 0.55, 0>, <0.6, 1.2, 0>, 0.04 } cylinder { <0.85, 0.55, 0>, <0.62, 1.35, 0>, 0.03 }
    cylinder { <0.62, 1.35, 0>, <0.5, 1.45, 0>, 0.03 }
    cylinder { <0.5, 1.45, -0.3>, <0.5, 1.45, 0.3>, 0.03 }
    texture { Paint }
  }
  sphere { 0, 1 scale <0.18, 0.05, 0.08> translate <-0.28, 1.27, 0> pigment { rgb 0.05 } }
  translate y * -0.05 scale 0.95
#break
#case (5) // vase
  lathe { cubic_spline 8, <0, 0>, <0, 0>, <0.3, 0.02>, <0.5, 0.5>, <0.25, 1.1>, <0.2, 1.4>, <0.3, 1.6>, <0.3, 1.6>
    texture { pigment { granite colour_map { [0 rgb Colour] [1 rgb Colour * 0.6] } scale 0.5 } finish { Shiny } } }
#break
#case (6) // chair
  union {
    box { <-0.5, 0.75, -0.45>, <0.5, 0.82, 0.45> }
    #for (I, 0, 3)
      cylinder { <(I < 2 ? -0.44 : 0.44), 0, (mod(I, 2) = 0 ? -0.4 : 0.4)>, <(I < 2 ? -0.44 : 0.44), 0.76, (mod(I, 2) = 0 ? -0.4 : 0.4)>, 0.035 }
    #end
    box { <-0.5, 0.82, 0.38>, <-0.42, 1.7, 0.45> } box { <0.42, 0.82, 0.38>, <0.5, 1.7, 0.45> }
    box { <-0.5, 1.45, 0.38>, <0.5, 1.7, 0.45> } box { <-0.5, 1.1, 0.38>, <0.5, 1.2, 0.45> }
    texture { Wood }
  }
  rotate y * (30 + Turn)
#break
#else // fruit: a bumpy red body with a green cap
  sphere { 0, 1 scale <0.55, 0.7, 0.55> translate y * 0.7 texture { pigment { rgb <0.8, 0.05, 0.05> * (0.7 + 0.3 * rand(R)) }
    normal { bumps 0.6 scale 0.06 } finish { Shiny } } }
  #for (I, 0, 5)
    cone { <0, 1.35, 0>, 0.08, <0.4 * cos(I * pi / 3), 1.3, 0.4 * sin(I * pi / 3)>, 0.01 pigment { rgb <0.1, 0.5, 0.1> } }
  #end
  cylinder { <0, 1.3, 0>, <0.05, 1.55, 0>, 0.03 pigment { rgb <0.2, 0.4, 0.1> } }
#end
}
#declare Fit = (Kind = 1 | Kind = 2 ? 0.8 : 1);
#if (Kind != 3 & Kind != 6) object { Thing rotate y * Turn scale Fit } #else object { Thing } #end
