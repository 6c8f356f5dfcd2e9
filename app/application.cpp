// TApplication: owns the window's logic and shows what escapes a handler in the error box.
#include "app/application.h"

#include <new>

#include "archive/base/exception.h"
#include "platform/platform.h"

TApplication::TApplication(IToolkit& toolkit) : toolkit_(toolkit) {}

TApplication::~TApplication() = default;

TForm1& TApplication::CreateForm() {
  form_ = std::make_unique<TForm1>(toolkit_);
  TForm1& form = *form_;
  HandleEvent([&form] { form.FormCreate(&form); });
  return form;
}

void TApplication::HandleEvent(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

void TApplication::ShowException(std::exception_ptr error) {
  toolkit_.ShowErrorBox(WithFullStop(ExceptionMessage(error)));
}

std::u16string ExceptionMessage(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return u"Out of memory";
  } catch (const std::exception& e) {
    return qp::platform::Utf8ToUtf16(e.what());
  } catch (...) {
    return u"Unknown error";
  }
}

std::u16string WithFullStop(std::u16string message) {
  if (!message.empty() && message.back() > u'.') message.push_back(u'.');
  return message;
}
