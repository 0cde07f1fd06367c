// The element tables of the skinned dialog: one row per button, slider and label, read in
// row order. Plain types only, so that the artwork generator can draw from the same rows.
#pragma once
#include <stdint.h>

struct SKIN_BUTTON_DEF {
  char name[64];
  uint32_t pageMask;
  int32_t x, y, cx, cy;
  char tip[64];
  int32_t checkable;  // nonzero: a check or option button
};

struct SKIN_SLIDER_DEF {
  char name[64];
  uint32_t pageMask;
  int32_t thumbImage1;  // normal thumb (low 16 bits: resource id)
  int32_t thumbImage2;  // thumb while grabbed
  int32_t thumbImage3;  // not used
  int32_t x, y, cx, cy;
  int32_t horizontal;   // 0: made vertical after creation
  int32_t initialPos;   // first trackbar position
};

struct SKIN_LABEL_DEF {
  char name[64];
  uint32_t pageMask;
  char face[64];
  int32_t bold;
  int32_t upright;   // 0: italic
  int32_t height;    // font height in logical units (negative: character height)
  uint32_t colour;   // 0x00BBGGRR
  int32_t x, y, cx, cy;
  char text[64];
  char spare[64];
};

extern const SKIN_BUTTON_DEF g_skinButtonDefs[];
extern const int g_nSkinButtonDefs;
extern const SKIN_SLIDER_DEF g_skinSliderDefs[];
extern const int g_nSkinSliderDefs;
extern const SKIN_LABEL_DEF g_skinLabelDefs[];
extern const int g_nSkinLabelDefs;

// Resource identifiers of the skin.
enum {
  IDD_SKIN_DIALOG = 102,
  IDB_SKIN_NORMAL = 129,
  IDB_SKIN_HOVER = 130,
  IDB_SKIN_MASK = 132,
  IDB_SKIN_PRESSED = 133,
  IDB_SKIN_DISABLED = 134,
  IDB_SKIN_BACKGROUND = 135,
  IDB_SKIN_THUMB = 136,
  IDB_SKIN_THUMB_GRABBED = 137,
  IDB_SKIN_THUMB_SPARE = 138,
};
