#pragma once

#include <cstring>

#include "editor/IArgb.h"

class LICE_Font;

// How a control draws text, and the colours of a text-entry box opened over it.
struct ITextStyle {
  enum Style : int { kNormal = 0, kBold = 1, kItalic = 2 };
  enum Align : int { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };
  enum Quality : int { kQualityDefault = 0, kNonAntialiased = 1, kAntialiased = 2, kClearType = 3 };

  static constexpr int kFaceSize = 32;

  char face[kFaceSize] = "Verdana";
  int size = 12;  // pixel height
  IArgb colour{255, 0, 0, 0};
  IArgb entryBackground{255, 255, 255, 255};
  IArgb entryForeground{255, 0, 0, 0};
  int style = kNormal;
  int align = kAlignCentre;
  int orientation = 0;  // degrees
  int quality = kQualityDefault;
  // The font once it has been looked up (owned by the process-wide font cache).
  LICE_Font* cachedFont = nullptr;

  ITextStyle() = default;
  ITextStyle(const char* faceName, int pixelHeight, IArgb textColour, int styleKind = kNormal,
             int alignment = kAlignCentre, int orientationDegrees = 0, int fontQuality = kQualityDefault,
             IArgb entryBack = IArgb(255, 255, 255, 255), IArgb entryFore = IArgb(255, 0, 0, 0))
      : size(pixelHeight), colour(textColour), entryBackground(entryBack), entryForeground(entryFore),
        style(styleKind), align(alignment), orientation(orientationDegrees), quality(fontQuality) {
    SetFace(faceName);
  }

  // Copies the face name, shortened to what the field holds.
  void SetFace(const char* name) {
    std::memset(face, 0, sizeof face);
    if (name != nullptr) std::memcpy(face, name, strnlen(name, kFaceSize - 1));
  }
};
