#include "pages/update/dlg_update.h"

#include "res/string_ids.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTime>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLogLimit = 20000;

} // namespace

CDlgUpdate::CDlgUpdate(QWidget* parent) : CTemplatePage(Ids::DialogUpdate, parent)
{
    connect(Item<QPushButton>(1063), &QPushButton::clicked, this, [this] { Item<QTextEdit>(1057)->clear(); });
}

void CDlgUpdate::AppendLog(const QString& text)
{
    auto* log = Item<QTextEdit>(1057);
    if (log->document()->characterCount() - 1 > kLogLimit)
        log->clear();

    const QTime now = QTime::currentTime();
    const QString stamp = u"%1:%2:%3  "_s.arg(now.hour(), 2, 10, QChar(u'0')).arg(now.minute(), 2, 10, QChar(u'0')).arg(now.second(), 2, 10, QChar(u'0'));
    QTextCharFormat format;
    format.setFontWeight(QFont::Normal);
    format.setFontPointSize(9.8);
    QTextCursor cursor(log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(stamp + text, format);
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
}
