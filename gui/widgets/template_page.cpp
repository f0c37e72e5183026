#include "gui/widgets/template_page.h"

CTemplatePage::CTemplatePage(int templateId, QWidget* parent) : QWidget(parent)
{
    m_controls.Build(this, templateId);
}
