#pragma once

#include <optional>

#include "figures/PixelBuffer.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/BorderTracer.h"
#include "mill/CutterLayerMarks.h"
#include "mill/DiscChords.h"

// The milling cutter along a border: it travels in the surface plane, plunges to the level of
// the start pixel, follows the level of the cutter layer under it at every step (levels read
// from the layer as it was when the figure's trace began), paints the cutter's disc, and lifts
// back to the surface at the end of the border or when the user stops.
class MillTracePolicy final : public TracePolicy {
public:
    // `cutterLayer` (the "Фреза" layer), `tool` and `protocol` must outlive the policy.
    MillTracePolicy(PixelBuffer& cutterLayer, ToolPosition& tool, MoveProtocol& protocol);

    // The cutter's disc painted after each step.
    void setDisc(DiscChords disc) { m_disc = std::move(disc); }

    void beginFigure() override;
    void travel(int dx, int dy) override;
    void openBorder(QPoint start) override;
    int stepZ(QPoint position) override;
    QRect paintMark(QPoint position) override;
    void closeBorder() override;
    void leaveSafe(bool borderOpen) override;
    QString stoppedMessage(QPoint tool) const override;

private:
    PixelBuffer& m_layer;
    ToolPosition& m_tool;
    MoveProtocol& m_protocol;
    DiscChords m_disc{0, 0};
    std::optional<CutterLayerMarks> m_marks;  // made when the first figure begins
};
