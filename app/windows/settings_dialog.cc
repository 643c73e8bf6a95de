#include "app/windows/settings_dialog.h"

#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <array>
#include <string>
#include <utility>

#include "app/configuration.h"
#include "base/string_list.h"

namespace vantrel {
namespace {

constexpr int kClientWidth = 274;
constexpr int kClientHeight = 344;
constexpr int kGridHeight = 305;
constexpr int kKeyColumnWidth = 110;
constexpr int kValueColumnWidth = 160;
constexpr int kRowHeight = 15;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kMargin = 8;
QColor KeyBackground() { return {214, 214, 214}; }
QColor TextColor() { return {0, 0, 160}; }

constexpr const char* kPhpPathKey = "PHP path";
// Keys compared exactly, letter case included.
constexpr std::array<const char*, 5> kSwitchKeys = {"Use session", "AutoActivate", "AutoMinimize",
                                                    "Auth require", "Log to file"};

bool IsSwitchKey(const QString& key) {
  for (const char* name : kSwitchKeys) {
    if (key == QLatin1String(name)) return true;
  }
  return false;
}

// Lines are 8-bit text; the grid shows and edits them as UTF-8.
QString ToQt(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

// The value editor of the "PHP path" row: the text, and an ellipsis button.
class EllipsisEditor : public QWidget {
 public:
  explicit EllipsisEditor(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    text_ = new QLineEdit(this);
    text_->setFrame(false);
    button_ = new QToolButton(this);
    button_->setText(QStringLiteral("..."));
    button_->setFixedWidth(kRowHeight + 2);
    layout->addWidget(text_);
    layout->addWidget(button_);
    setFocusProxy(text_);
  }

  QLineEdit* Text() const { return text_; }
  QToolButton* Button() const { return button_; }

 private:
  QLineEdit* text_;
  QToolButton* button_;
};

// Picks the value editor of a row by the row's key.
class ValueDelegate : public QStyledItemDelegate {
 public:
  ValueDelegate(std::function<void(QWidget*)> on_ellipsis, QObject* parent)
      : QStyledItemDelegate(parent), on_ellipsis_(std::move(on_ellipsis)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    const QString key = index.siblingAtColumn(0).data().toString();
    if (IsSwitchKey(key)) return CreateSwitchEditor(parent);
    if (key == QLatin1String(kPhpPathKey)) return CreateEllipsisEditor(parent);
    return QStyledItemDelegate::createEditor(parent, option, index);
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    const QString value = index.data(Qt::EditRole).toString();
    if (auto* combo = dynamic_cast<QComboBox*>(editor)) {
      combo->setCurrentText(value);
    } else if (auto* ellipsis = dynamic_cast<EllipsisEditor*>(editor)) {
      ellipsis->Text()->setText(value);
    } else {
      QStyledItemDelegate::setEditorData(editor, index);
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    if (auto* combo = dynamic_cast<QComboBox*>(editor)) {
      model->setData(index, combo->currentText());
    } else if (auto* ellipsis = dynamic_cast<EllipsisEditor*>(editor)) {
      model->setData(index, ellipsis->Text()->text());
    } else {
      QStyledItemDelegate::setModelData(editor, model, index);
    }
  }

 private:
  QWidget* CreateSwitchEditor(QWidget* parent) const {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems({QStringLiteral("yes"), QStringLiteral("no")});
    // A pick from the list is an edit at once, as typing is on leaving.
    connect(combo, &QComboBox::activated, this,
            [this, combo] { Q_EMIT const_cast<ValueDelegate*>(this)->commitData(combo); });
    return combo;
  }

  QWidget* CreateEllipsisEditor(QWidget* parent) const {
    auto* editor = new EllipsisEditor(parent);
    connect(editor->Button(), &QToolButton::clicked, this, [this, editor] {
      // Whatever was typed counts before the chooser writes the tenth row.
      auto* self = const_cast<ValueDelegate*>(this);
      Q_EMIT self->commitData(editor);
      Q_EMIT self->closeEditor(editor);
      on_ellipsis_(editor);
    });
    return editor;
  }

  std::function<void(QWidget*)> on_ellipsis_;
};

std::optional<QString> ChoosePhpExecutable(QWidget* parent) {
  // php-cgi has no extension here; ".exe" stays for a Windows interpreter.
  const QString path =
      QFileDialog::getOpenFileName(parent, QStringLiteral("PHP CGI executable"), QString(),
                                   QStringLiteral("PHP CGI executable (php-cgi* *.exe)"));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

SettingsDialog::SettingsDialog(Configuration& settings, QWidget* parent)
    : QDialog(parent, Qt::Tool), settings_(settings), OpenDialog1_(ChoosePhpExecutable) {
  setWindowTitle(QStringLiteral("Settings"));
  setFixedSize(kClientWidth, kClientHeight);
  CreateGrid();
  CreateButton();
}

void SettingsDialog::CreateGrid() {
  VLE_ = new QTableWidget(0, 2, this);
  VLE_->setGeometry(0, 0, kClientWidth, kGridHeight);
  VLE_->horizontalHeader()->hide();
  VLE_->verticalHeader()->hide();
  VLE_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  VLE_->setColumnWidth(0, kKeyColumnWidth);
  VLE_->setColumnWidth(1, kValueColumnWidth);
  VLE_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  VLE_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  VLE_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  VLE_->setFrameShape(QFrame::NoFrame);
  VLE_->setSelectionMode(QAbstractItemView::SingleSelection);
  VLE_->setEditTriggers(QAbstractItemView::AllEditTriggers);
  QPalette palette = VLE_->palette();
  palette.setColor(QPalette::Text, TextColor());
  VLE_->setPalette(palette);
  delegate_ = new ValueDelegate([this](QWidget*) { VLEEditButtonClick(); }, VLE_);
  VLE_->setItemDelegateForColumn(1, delegate_);
  connect(VLE_, &QTableWidget::itemChanged, this, &SettingsDialog::VLEItemChanged);
}

void SettingsDialog::CreateButton() {
  BitBtn1_ = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1_->setGeometry(kClientWidth - kMargin - kButtonWidth,
                        kGridHeight + (kClientHeight - kGridHeight - kButtonHeight) / 2,
                        kButtonWidth, kButtonHeight);
  connect(BitBtn1_, &QPushButton::clicked, this, &SettingsDialog::BitBtn1Click);
}

void SettingsDialog::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void SettingsDialog::FormShow() {
  settings_.LoadConfiguration(/*with_defaults=*/true);
  FillGrid();
}

void SettingsDialog::FillGrid() {
  const StringList lines = settings_.Lines();
  filling_ = true;
  VLE_->clearContents();
  VLE_->setRowCount(static_cast<int>(lines.Count()));
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    const int row = static_cast<int>(i);
    auto* key = new QTableWidgetItem(ToQt(lines.NameAt(i)));
    key->setFlags(Qt::ItemIsEnabled);
    key->setBackground(KeyBackground());
    VLE_->setItem(row, 0, key);
    VLE_->setItem(row, 1, new QTableWidgetItem(ToQt(lines.ValueAt(i))));
  }
  filling_ = false;
}

void SettingsDialog::VLEItemChanged(QTableWidgetItem* item) {
  if (filling_ || item->column() != 1) return;
  StringList lines = settings_.Lines();
  const auto index = static_cast<std::size_t>(item->row());
  if (index >= lines.Count()) return;
  const std::string value = FromQt(item->text());
  // A line left as it was keeps its bytes, "=" or not.
  if (value == lines.ValueAt(index)) return;
  lines[index] = lines.NameAt(index) + "=" + value;
  settings_.SetLines(std::move(lines));
}

void SettingsDialog::VLEEditButtonClick() {
  const std::optional<QString> path = OpenDialog1_(this);
  if (!path) return;
  const auto row = static_cast<int>(Configuration::kPhpPathLine);
  if (row >= VLE_->rowCount()) return;
  VLE_->item(row, 1)->setText(*path);
}

void SettingsDialog::BitBtn1Click() {
  // Leaving the cell commits an edit still open, so what is typed is saved.
  VLE_->setCurrentIndex(QModelIndex());
  if (settings_.SaveConfiguration()) accept();
}

}  // namespace vantrel
