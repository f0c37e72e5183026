#include "gui/app/my_corvix_app.h"

#include "gui/dialogs/file_dialog.h"
#include "core/config/ini_file.h"
#include "gui/dialogs/message_box.h"
#include "core/config/program_dir.h"
#include "core/config/window_language.h"
#include "gui/main_window/main_dialog.h"
#include "gui/resources/resource_module.h"
#include "gui/widgets/message_box_widget.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QListView>
#include <QPushButton>
#include <QMessageBox>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

void ShowMessageBox(const QString& text, const QString& caption, MessageIcon icon)
{
    MakeMessageBox(text, caption, icon, QApplication::activeWindow())->exec();
}

std::optional<QString> ShowTextQuestion(const QString& prompt, const QString& caption)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Normal,
                                               QString(), &ok);
    return ok ? std::optional<QString>(text.trimmed()) : std::nullopt;
}

std::optional<int> ShowChoiceQuestion(const QString& prompt, const QString& caption, const QStringList& items)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    // By row: two items may read alike (two saves in one second).
    const QListView* list = dialog.findChild<QListView*>();
    const int row = list ? list->currentIndex().row() : static_cast<int>(items.indexOf(dialog.textValue()));
    return row < 0 ? std::nullopt : std::optional<int>(row);
}

bool ShowQuestion(const QString& text, const QString& caption)
{
    return QMessageBox::question(QApplication::activeWindow(), caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

bool ShowOffer(const QString& text, const QString& caption, const QString& offer)
{
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    const QAbstractButton* offered = box.addButton(offer, QMessageBox::ActionRole);
    box.exec();
    return box.clickedButton() == offered;
}

QString ShowOpenFileDialog(const QString& initialName, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), initialName, filter);
}

QString ShowSaveFileDialog(const QString& initialName, const QString& filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), initialName, filter);
}

QString ShowAppendFileDialog(const QString& initialName, const QString& filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), initialName, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace

void ChooseResources()
{
    if (StartUiLanguage() == UiLanguage::English)
        ResourceModule::UseBuiltIn(UiLanguage::English); // LangChn holds the Chinese window: not loaded
    else if (ReadIniInt(ConfigIniPath(), u"PathInfo"_s, u"Language"_s, 0) != 1)
        ResourceModule::LoadLanguageLibrary(); // missing: built-in, nothing reported
    else
        ResourceModule::UseBuiltIn();
}

bool CMyCorvixApp::InitInstance()
{
    // Rich edit, common controls and control hosting have no counterpart in Qt.
    SetMessageBoxHandler(ShowMessageBox);
    SetQuestionHandler(ShowQuestion);
    SetOfferHandler(ShowOffer);
    SetTextHandler(ShowTextQuestion);
    SetChoiceHandler(ShowChoiceQuestion);
    SetOpenFileHandler(ShowOpenFileDialog);
    SetSaveFileHandler(ShowSaveFileDialog);
    SetAppendFileHandler(ShowAppendFileDialog);
    ChooseResources();

    CMyCorvixDlg dialog;
    dialog.exec();
    return false;
}
