// The settings dialog: the live settings list shown as a two-column
// key/value grid (`VLE`), one row per line in list order.
//
// Every showing reloads config.ini (with defaults) and refills the grid. An
// edit replaces the live list at once, so the next lookup sees it; only "OK"
// writes the list to config.ini. Closing any other way keeps the edits in the
// live list until its next load.
//
// Rows whose key is exactly one of the five switches get a yes/no drop-down
// that still takes free typing; the row whose key is exactly "PHP path" gets
// an ellipsis button whose file chooser writes into the tenth row, the line
// the PHP path is read from, whatever row the button sits on.
//
// Main thread only. The dialog does not check whether the server runs: its
// opener refuses it then.
#ifndef VANTREL_APP_WINDOWS_SETTINGS_DIALOG_H_
#define VANTREL_APP_WINDOWS_SETTINGS_DIALOG_H_

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QPushButton;
class QStyledItemDelegate;
class QTableWidget;
class QTableWidgetItem;

namespace vantrel {

class Configuration;

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks the user for the PHP CGI executable; nothing when cancelled.
  using FileChooser = std::function<std::optional<QString>(QWidget* parent)>;

  // `settings` must outlive the dialog.
  explicit SettingsDialog(Configuration& settings, QWidget* parent = nullptr);

  // Replaces the file chooser (the default one is a file dialog).
  void SetFileChooser(FileChooser chooser) { OpenDialog1_ = std::move(chooser); }

  QTableWidget* VLE() const { return VLE_; }
  QStyledItemDelegate* VLEDelegate() const { return delegate_; }
  QPushButton* BitBtn1() const { return BitBtn1_; }

  // The ellipsis button: the chosen path becomes the tenth row's value.
  void VLEEditButtonClick();
  // "OK": saves the list and closes; stays open when saving failed.
  void BitBtn1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateGrid();
  void CreateButton();
  void FormShow();
  void FillGrid();
  void VLEItemChanged(QTableWidgetItem* item);

  Configuration& settings_;
  FileChooser OpenDialog1_;
  QTableWidget* VLE_ = nullptr;
  QStyledItemDelegate* delegate_ = nullptr;
  QPushButton* BitBtn1_ = nullptr;
  bool filling_ = false;  // Set while the grid is refilled from the list.
};

}  // namespace vantrel

#endif  // VANTREL_APP_WINDOWS_SETTINGS_DIALOG_H_
