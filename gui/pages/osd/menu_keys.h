#pragma once

#include <QObject>
#include <functional>

class QWidget;

// The camera's menu keys from the keyboard: while `page` is on screen and
// enabled and no list or text field has the focus, the arrow keys and Enter go to
// `onMenuKey` (Qt key code) instead of moving the focus or pressing a button.
class CMenuKeyFilter final : public QObject {
public:
    CMenuKeyFilter(QWidget* page, std::function<void(int key)> onMenuKey);

    // Whether a key is one of the menu's: the four arrows, Return and Enter.
    static bool IsMenuKey(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_pPage;
    std::function<void(int key)> m_onMenuKey;
};
