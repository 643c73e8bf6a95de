// The about box (`AboutBox`): a borderless 254 x 98 panel in a green
// gradient with a bevelled frame, the product name and version, a thin
// line and a "Close" button.
#ifndef VANTREL_APP_WINDOWS_ABOUT_BOX_H_
#define VANTREL_APP_WINDOWS_ABOUT_BOX_H_

#include <QDialog>

class QPaintEvent;

namespace vantrel {

class AboutBox final : public QDialog {
 public:
  static constexpr int kWidth = 254;
  static constexpr int kHeight = 98;
  static constexpr const char* kProductName = "Vantrel 3.0";

  explicit AboutBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_ABOUT_BOX_H_
