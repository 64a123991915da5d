#include "KSEditResultView.h"

KSEditResultView::KSEditResultView(QWidget *parent) : KSEditCanvasView(parent)
{
}

void KSEditResultView::updateCanvasLayout()
{
    layoutCanvas(m_imageSize);
}
