#include "mill/ui/Form1.h"

#include <QFormLayout>
#include <QLineEdit>

#include "figures/ui/LayerView.h"
#include "figures/ui/PictureViews.h"
#include "link/ui/WidgetNames.h"
#include "link/ui/WindowJobHost.h"
#include "mill/ui/MillButtons.h"
#include "mill/ui/SurfaceMapPanel.h"

Form1::Form1(ProgramContext& program, QWidget* parent)
    : FigureWindow(
          {MoveRules::Milling, QStringLiteral("Настройка"), QStringLiteral("Фрезеровать"),
           kMillingWindowKeys},
          {kMillImageKey, QStringLiteral("Фреза"), QStringLiteral("200"), QStringLiteral("100")},
          program, parent),
      Text1(namedField(kMillDepthKey.field, {}, this)),
      Text3(namedField(kMillDiameterKey.field, {}, this)) {
    setWindowTitle(QStringLiteral("Strugal"));
    QFormLayout* sizeLayout = workspace().sizeFrameLayout();
    sizeLayout->addRow(QStringLiteral("Глубина:"), Text1);
    sizeLayout->addRow(QStringLiteral("Диаметр, мм"), Text3);
    // The keyboard goes through the size fields in the order they are shown.
    setTabOrder(workspace().heightField(), Text1);
    setTabOrder(Text1, Text3);
    m_surface = new SurfaceMapPanel(program, host(), this);
    workspace().setPictureFooter(m_surface);
    showSurfaceOnCutterView();
    auto* buttons = new MillButtons(*this);
    buttons->setSurfacePanel(m_surface);
    addJobButtons(buttons);
    host().setField(JobField::Depth, Text1);
    host().setField(JobField::Diameter, Text3);

    Form_Load();
}

void Form1::showSurfaceOnCutterView() {
    LayerView* cutter = workspace().pictureViews()->view(kCutterLayerIndex);
    cutter->setShade([this] {
        const PictureLayers& layers = workspace().layers();
        return m_surface->coveredPixels(QSize(layers.width(), layers.height()),
                                        workspace().widthField()->text());
    });
    const auto repaint = [cutter] { cutter->update(); };
    connect(m_surface, &SurfaceMapPanel::shownChanged, cutter, repaint);
    connect(workspace().widthField(), &QLineEdit::textChanged, cutter, repaint);
}
