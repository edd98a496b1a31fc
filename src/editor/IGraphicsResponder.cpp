#include "editor/IGraphicsResponder.h"

#include "editor/IGraphics.h"

int IGraphicsResponder::AnswerMessage(const char*, const char*, int kind) {
  return kind == IGraphics::kMessageYesNo ? IGraphics::kAnswerNo : IGraphics::kAnswerOk;
}

bool IGraphicsResponder::ChooseFromMenu(IMenuModel&, const IBounds&, IMenuModel**, int*) { return false; }

std::optional<std::string> IGraphicsResponder::AnswerTextEntry(IControl*, const ITextStyle&, const IBounds&,
                                                               const std::string&) {
  return std::nullopt;
}

bool IGraphicsResponder::ChooseFile(const IFileRequest&, std::string*) { return false; }

bool IGraphicsResponder::OpenWebPage(const char*) { return false; }
