#pragma once

#include <optional>

#include "figures/PixelBuffer.h"
#include "link/job/JobHost.h"
#include "link/protocol/MoveProtocol.h"
#include "mill/BorderTracer.h"
#include "mill/CutterLayerMarks.h"

// The laser along a border: the travel to the start is sent without waiting for its "OK", the
// line 0,0,1 switches the laser on, every step has Z 0, and 0,0,-1 switches it off; one more
// wait then takes the last "OK", so every line sent for the border has been answered when it
// ends. After each step the pixel under the tool and its 3 × 3 block are painted red.
//
// The laser is never left on: the closing line goes out whenever the opening line went out,
// also when the output box was cleared meanwhile (clearing it mid-border switches the laser off
// at once; ticking it again switches it back on before the next step), and "Стоп" sends it and
// waits for every answer still due. Lines are only ever answered by waits for them, so a wait
// never blocks for an answer that no line asked for.
class OutlineTracePolicy final : public TracePolicy {
public:
    // `laserLayer` (the "Лазер" layer), `host` and `protocol` must outlive the policy.
    OutlineTracePolicy(PixelBuffer& laserLayer, JobHost& host, MoveProtocol& protocol);

    void beginFigure() override;
    void travel(int dx, int dy) override;
    void openBorder(QPoint start) override;
    void beforeStep() override;
    int stepZ(QPoint) override { return 0; }
    QRect paintMark(QPoint position) override;
    void closeBorder() override;
    void leaveSafe(bool borderOpen) override;
    QString stoppedMessage(QPoint tool) const override;

private:
    void switchOn();
    void switchOff();
    void answerAll();

    PixelBuffer& m_layer;
    JobHost& m_host;
    MoveProtocol& m_protocol;
    std::optional<CutterLayerMarks> m_marks;  // made when the first figure begins
    bool m_laserOn = false;
    int m_unanswered = 0;  // lines sent without waiting whose "OK" is still due
};
