#include "app/windows/settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/configuration.h"
#include "tests/app/recording_front_end.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

constexpr const char* kDefaultFile =
    "AutoActivate=no\r\nAutoMinimize=no\r\nServer port=80\r\nUse session=no\r\n"
    "Session expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=kelp\r\n"
    "Log to file=no\r\nPHP path=\r\n";

// "PHP path" first, "Log to file" tenth; a switch key in other letter case.
constexpr const char* kReorderedFile =
    "PHP path=/old/php-cgi\r\nAutoActivate=no\r\nAutoMinimize=no\r\nServer port=80\r\n"
    "use session=no\r\nSession expire=1\r\nAuth require=no\r\nAuth user=user\r\n"
    "Auth password=kelp\r\nLog to file=no\r\n";

class SettingsDialogTest : public ::testing::Test {
 protected:
  // Shows the dialog over config.ini holding `file`, without waiting for it.
  void Open(const char* file) {
    dir_.Write("config.ini", file);
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
  }

  QWidget* EditorOfRow(int row) {
    QStyleOptionViewItem option;
    QWidget* editor = dialog_.VLEDelegate()->createEditor(dialog_.VLE()->viewport(), option,
                                                          dialog_.VLE()->model()->index(row, 1));
    editors_.emplace_back(editor);
    return editor;
  }

  test::TempDir dir_;
  test::RecordingFrontEnd front_end_;
  Configuration settings_{dir_.File("config.ini"), front_end_};
  SettingsDialog dialog_{settings_};
  std::vector<std::unique_ptr<QWidget>> editors_;
};

TEST_F(SettingsDialogTest, DropDownsOnlyOnExactSwitchKeysAndEllipsisOnlyOnPhpPath) {
  Open(kReorderedFile);
  ASSERT_EQ(dialog_.VLE()->rowCount(), 10);
  for (int row = 0; row < 10; ++row) {
    const QString key = dialog_.VLE()->item(row, 0)->text();
    QWidget* editor = EditorOfRow(row);
    const bool is_switch = key == "AutoActivate" || key == "AutoMinimize" ||
                           key == "Auth require" || key == "Log to file";
    auto* combo = qobject_cast<QComboBox*>(editor);
    EXPECT_EQ(combo != nullptr, is_switch) << key.toStdString();
    if (combo) {
      EXPECT_TRUE(combo->isEditable()) << key.toStdString();
    }
    EXPECT_EQ(editor->findChild<QToolButton*>() != nullptr, key == "PHP path") << key.toStdString();
  }
}

TEST_F(SettingsDialogTest, EllipsisWritesTheTenthRowWhateverRowItSitsOn) {
  Open(kReorderedFile);
  dialog_.SetFileChooser([](QWidget*) { return QString("/usr/bin/php-cgi"); });
  QWidget* editor = EditorOfRow(0);
  editor->findChild<QToolButton*>()->click();
  EXPECT_EQ(settings_.PhpPath(), "/usr/bin/php-cgi");
  EXPECT_EQ(settings_.Lines()[9], "Log to file=/usr/bin/php-cgi");
  EXPECT_EQ(settings_.Lines()[0], "PHP path=/old/php-cgi");
  EXPECT_EQ(dialog_.VLE()->item(9, 1)->text(), "/usr/bin/php-cgi");

  dialog_.SetFileChooser([](QWidget*) { return std::nullopt; });
  dialog_.VLEEditButtonClick();
  EXPECT_EQ(settings_.PhpPath(), "/usr/bin/php-cgi");
}

TEST_F(SettingsDialogTest, OkSavesTheEditsAndCloses) {
  Open(kDefaultFile);
  dialog_.VLE()->item(2, 1)->setText("8080");
  QTest::mouseClick(dialog_.BitBtn1(), Qt::LeftButton);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(dir_.Read("config.ini"),
            "AutoActivate=no\r\nAutoMinimize=no\r\nServer port=8080\r\nUse session=no\r\n"
            "Session expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=kelp\r\n"
            "Log to file=no\r\nPHP path=\r\n");
}

TEST_F(SettingsDialogTest, OkSavesWhatIsTypedInAnEditorStillOpen) {
  Open(kDefaultFile);
  dialog_.VLE()->setCurrentCell(9, 1);
  auto* typed = dialog_.VLE()->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(typed, nullptr);
  typed->setFocus();
  QTest::keyClicks(typed, "/usr/bin/php-cgi");
  QTest::mouseClick(dialog_.BitBtn1(), Qt::LeftButton);
  EXPECT_EQ(settings_.PhpPath(), "/usr/bin/php-cgi");
  EXPECT_THAT(dir_.Read("config.ini"), ::testing::EndsWith("PHP path=/usr/bin/php-cgi\r\n"));
}

TEST_F(SettingsDialogTest, EscapeKeepsTheLiveEditButLeavesTheFileAlone) {
  Open(kDefaultFile);
  dialog_.VLE()->item(5, 1)->setText("yes");
  QTest::keyClick(&dialog_, Qt::Key_Escape);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_TRUE(settings_.SwitchOn("Auth require"));
  EXPECT_EQ(dir_.Read("config.ini"), kDefaultFile);
}

}  // namespace
}  // namespace vantrel
