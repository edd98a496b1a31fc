#pragma once

#include <string>

#include "editor/IControl.h"

// A line of text in its style; bound to no parameter.
class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase* plug, const IBounds& rect, const ITextStyle& style, std::string text)
      : IControl(plug, rect, -1), str_(std::move(text)) {
    text_ = style;
  }

  bool Draw(IGraphics& graphics) override;

  const std::string& GetTextString() const { return str_; }
  void SetTextString(std::string text) {
    str_ = std::move(text);
    MarkDirty(false);
  }

 private:
  std::string str_;
};
