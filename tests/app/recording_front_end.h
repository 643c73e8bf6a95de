// A front end that remembers what the gateway asked it to show.
#ifndef VANTREL_TESTS_APP_RECORDING_FRONT_END_H_
#define VANTREL_TESTS_APP_RECORDING_FRONT_END_H_

#include <mutex>
#include <string>
#include <vector>

#include "app/front_end.h"

namespace vantrel::test {

class RecordingFrontEnd final : public FrontEnd {
 public:
  void ShowMessage(const std::string& text) override { Record(messages_, text); }
  void ShowError(const std::string& text) override { Record(errors_, text); }
  void SetActivateCaption(const std::string& caption) override { Record(captions_, caption); }
  void Minimize() override { Record(captions_, "<minimized>"); }

  std::vector<std::string> Messages() const { return Copy(messages_); }
  std::vector<std::string> Errors() const { return Copy(errors_); }
  // Captions set, in order; a minimise shows as "<minimized>".
  std::vector<std::string> Captions() const { return Copy(captions_); }

 private:
  void Record(std::vector<std::string>& list, const std::string& text) {
    std::lock_guard lock(mutex_);
    list.push_back(text);
  }
  std::vector<std::string> Copy(const std::vector<std::string>& list) const {
    std::lock_guard lock(mutex_);
    return list;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<std::string> errors_;
  std::vector<std::string> captions_;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_APP_RECORDING_FRONT_END_H_
