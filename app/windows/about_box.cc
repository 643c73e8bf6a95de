#include "app/windows/about_box.h"

#include <qdrawutil.h>

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

namespace vantrel {
namespace {

constexpr int kMargin = 8;
constexpr int kNamePixelSize = 19;
constexpr int kLineTop = 40;
constexpr int kButtonWidth = 72;
constexpr int kButtonHeight = 25;

QLabel* MakeNameLabel(QWidget* parent) {
  auto* label = new QLabel(AboutBox::kProductName, parent);
  QFont font("Arial");
  font.setStyleHint(QFont::SansSerif);  // Any sans face where Arial is missing.
  font.setPixelSize(kNamePixelSize);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet("color: white; background: transparent;");
  auto* shadow = new QGraphicsDropShadowEffect(label);
  shadow->setOffset(2, 2);
  shadow->setBlurRadius(0);
  shadow->setColor(QColor(0, 64, 0));
  label->setGraphicsEffect(shadow);
  label->move(kMargin, kMargin);
  label->adjustSize();
  return label;
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setModal(true);
  setFixedSize(kWidth, kHeight);
  MakeNameLabel(this);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(kMargin, kLineTop, kWidth - 2 * kMargin, 2);

  auto* close = new QPushButton("Close", this);
  close->setGeometry(kWidth - kMargin - kButtonWidth, kMargin, kButtonWidth, kButtonHeight);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, width(), 0);
  gradient.setColorAt(0, QColor(0, 128, 0));
  gradient.setColorAt(1, QColor(128, 255, 128));
  painter.fillRect(rect(), gradient);
  qDrawShadePanel(&painter, rect(), palette(), /*sunken=*/false, /*lineWidth=*/2);
}

}  // namespace vantrel
