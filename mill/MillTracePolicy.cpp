#include "mill/MillTracePolicy.h"

MillTracePolicy::MillTracePolicy(PixelBuffer& cutterLayer, ToolPosition& tool,
                                 MoveProtocol& protocol)
    : m_layer(cutterLayer), m_tool(tool), m_protocol(protocol) {}

void MillTracePolicy::beginFigure() {
    if (!m_marks) m_marks.emplace(m_layer);
    m_marks->beginFigure();
}

void MillTracePolicy::travel(int dx, int dy) {
    m_protocol.MovePixels(dx, dy, 0, true, travelSurfaceChange(dx, dy));
}

void MillTracePolicy::openBorder(QPoint start) {
    const int level = m_marks->level(start);
    m_protocol.MovePixels(0, 0, -level, true);
    m_tool.ToolLevel = level;
}

int MillTracePolicy::stepZ(QPoint position) {
    const int level = m_marks->level(position);
    const int difference = level - m_tool.ToolLevel;
    m_tool.ToolLevel = level;
    return -difference;
}

QRect MillTracePolicy::paintMark(QPoint position) {
    return m_marks->paint(position, m_disc);
}

void MillTracePolicy::closeBorder() {
    m_protocol.MovePixels(0, 0, m_tool.ToolLevel, true);
    m_tool.ToolLevel = 0;
}

void MillTracePolicy::leaveSafe(bool borderOpen) {
    if (borderOpen) closeBorder();
}

QString MillTracePolicy::stoppedMessage(QPoint tool) const {
    return QStringLiteral(
               "Работа остановлена. Фреза поднята к поверхности над точкой (%1, %2) "
               "картинки.")
        .arg(tool.x())
        .arg(tool.y());
}
