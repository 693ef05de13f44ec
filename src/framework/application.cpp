#include "framework/application.h"

#include "framework/forms.h"
#include "framework/strings.h"

namespace qd {

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  ws_.SetApplicationTitle(title);
}

void TApplication::Run() {
  if (mainForm_ == nullptr) {
    return;
  }
  if (!terminated_) {
    ws_.RunMessageLoop(mainForm_->Handle());
  }
  mainForm_->Destroy();
}

void TApplication::Terminate() {
  terminated_ = true;
  ws_.PostQuit();
}

void TApplication::RegisterCursor(TCursor id, NativeCursor cursor) {
  if (cursor) {
    cursors_[id] = cursor;
  }
}

NativeCursor TApplication::CursorHandle(TCursor id) const {
  // crDefault and identifiers that were never registered show the standard arrow.
  const auto it = cursors_.find(id);
  return it == cursors_.end() ? NativeCursor{} : it->second;
}

void TApplication::SetCursor(TCursor cursor) {
  if (cursor == cursor_) {
    return;
  }
  cursor_ = cursor;
  if (mainForm_ != nullptr) {
    mainForm_->UpdateCursor();
  }
}

void TApplication::ShowError(const std::string& text) {
  ws_.ShowMessageBox(mainForm_ != nullptr ? mainForm_->Handle() : NativeWindow{},
                     Windows1252ToUtf8(text), title_, MessageKind::Error);
}

void TApplication::ShowPlainMessage(const std::string& text) {
  ws_.ShowMessageBox(NativeWindow{}, Windows1252ToUtf8(text), title_, MessageKind::Plain);
}

}  // namespace qd
