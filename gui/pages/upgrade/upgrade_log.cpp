#include "gui/pages/upgrade/upgrade_log.h"

#include "gui/dialogs/file_dialog.h"
#include "gui/dialogs/message_box.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"

#include <QDateTime>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTextEdit>
#include <QTime>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLogLimit = 20000;

} // namespace

CUpgradeLog::CUpgradeLog(QTextEdit* view) : m_pView(view)
{
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(m_pView, &QTextEdit::customContextMenuRequested, m_pView, [this](const QPoint& at) {
        QMenu* menu = m_pView->createStandardContextMenu(at);
        menu->addSeparator();
        menu->addAction(LoadString(Ids::SaveLogMenu), m_pView, [this] { Save(); });
        menu->exec(m_pView->viewport()->mapToGlobal(at));
        delete menu;
    });
}

void CUpgradeLog::Append(const QString& text)
{
    Show(text);
    Keep(text);
}

void CUpgradeLog::Keep(const QString& text)
{
    QString error;
    if (m_keptLog.Append(text, QDateTime::currentDateTime(), &error)) {
        m_bKeptLogFailing = false;
    } else if (!std::exchange(m_bKeptLogFailing, true)) {
        Show(LoadString(Ids::LogNotKept) + error + u'\n');
    }
}

void CUpgradeLog::Save()
{
    const QString path = GetSaveFileName(u"upgrade-log.txt"_s, LoadString(Ids::LogFileFilter));
    if (path.isEmpty())
        return;
    QFile file(path);
    const QByteArray text = m_pView->toPlainText().toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        MessageBox(path + u": "_s + file.errorString(), LoadString(Ids::MessageCaption), MessageIcon::Warning);
}

void CUpgradeLog::Show(const QString& text)
{
    if (m_pView->document()->characterCount() - 1 > kLogLimit)
        m_pView->clear();

    const QTime now = QTime::currentTime();
    const QString stamp = u"%1:%2:%3  "_s.arg(now.hour(), 2, 10, QChar(u'0'))
                              .arg(now.minute(), 2, 10, QChar(u'0'))
                              .arg(now.second(), 2, 10, QChar(u'0'));
    QTextCharFormat format;
    format.setFontWeight(QFont::Normal);
    format.setFontPointSize(9.8);
    QTextCursor cursor(m_pView->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(stamp + text, format);
    m_pView->verticalScrollBar()->setValue(m_pView->verticalScrollBar()->maximum());
}

void CUpgradeLog::Clear()
{
    m_pView->clear();
}
