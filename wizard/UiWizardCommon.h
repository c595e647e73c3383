// Drawing routines shared by the wizard's painting objects: the etched border edges, and a
// picture drawn into a rectangle by alignment and layout, or tiled.
#pragma once
#include <cstdint>

#include "Graphics.h"

enum TUiWizardBorderEdge : uint8_t { beLeft = 1, beTop = 2, beRight = 4, beBottom = 8 };
using TUiWizardBorderEdges = uint8_t;
constexpr int kUiWizardEtchedBorder = 3;  // the one style in use: an etched line

enum TUiWizardImageAlignment { iaLeft, iaRight, iaCenter, iaStretch };
enum TUiWizardImageLayout { ilTop, ilBottom, ilCenter, ilStretch, ilTile };

// Draws the requested edges of R as an etched line (shadow outside, highlight inside) and
// returns R shrunk by 2 on every requested side.
TRect DrawBorderEdges(TCanvas& canvas, const TRect& r, int style, TUiWizardBorderEdges edges);
void DrawWizardImage(TCanvas& canvas, TGraphic* graphic, TRect r, TUiWizardImageAlignment alignment,
                     TUiWizardImageLayout layout);
// Raises EUiWizardError "Tiling only works on images with dimensions > 0" for an empty graphic.
void TileWizardImage(TCanvas& canvas, TGraphic* graphic, const TRect& r);
