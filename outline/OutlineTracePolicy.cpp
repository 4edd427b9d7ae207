#include "outline/OutlineTracePolicy.h"

#include "mill/DiscChords.h"
#include "mill/RasterOps.h"

namespace {

// The mark of one step: the pixel and the 3 × 3 block around it.
const DiscChords kBlock(kOutlineRadius, kOutlineReach);

constexpr int kLaserOn = 1;
constexpr int kLaserOff = -1;

}  // namespace

OutlineTracePolicy::OutlineTracePolicy(PixelBuffer& laserLayer, JobHost& host,
                                       MoveProtocol& protocol)
    : m_layer(laserLayer), m_host(host), m_protocol(protocol) {}

void OutlineTracePolicy::beginFigure() {
    if (!m_marks) m_marks.emplace(m_layer);
    m_marks->beginFigure();
}

void OutlineTracePolicy::travel(int dx, int dy) {
    const bool sent = m_host.outputEnabled();
    m_protocol.MovePixels(dx, dy, 0, false, travelSurfaceChange(dx, dy));
    if (sent) ++m_unanswered;
}

void OutlineTracePolicy::switchOn() {
    if (!m_host.outputEnabled()) return;
    // Its wait takes the oldest answer still due, the travel's when that went out.
    m_protocol.MovePixels(0, 0, kLaserOn, true);
    m_laserOn = true;
}

void OutlineTracePolicy::switchOff() {
    // Sent whatever the box says now: the laser was switched on by a line that went out.
    m_protocol.sendLine(0, 0, kLaserOff, true);
    m_laserOn = false;
}

void OutlineTracePolicy::answerAll() {
    for (; m_unanswered > 0; --m_unanswered) m_protocol.awaitReply();
}

void OutlineTracePolicy::openBorder(QPoint) {
    switchOn();
}

void OutlineTracePolicy::beforeStep() {
    const bool output = m_host.outputEnabled();
    if (output && !m_laserOn) {
        switchOn();
    } else if (!output && m_laserOn) {
        switchOff();
    }
}

QRect OutlineTracePolicy::paintMark(QPoint position) {
    return m_marks->paint(position, kBlock);
}

void OutlineTracePolicy::closeBorder() {
    if (m_laserOn) switchOff();
    answerAll();
}

void OutlineTracePolicy::leaveSafe(bool) {
    closeBorder();
}

QString OutlineTracePolicy::stoppedMessage(QPoint tool) const {
    return QStringLiteral("Работа остановлена. Лазер выключен над точкой (%1, %2) картинки.")
        .arg(tool.x())
        .arg(tool.y());
}
