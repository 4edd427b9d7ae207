#include "tests/support/ReferenceTrace.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "link/protocol/MoveProtocol.h"

namespace {

// The turn tables as written: each direction and the one after a 45° turn.
void turnClockwise(int& dx, int& dy) {
    const int x = dx, y = dy;
    if (x == 1 && y == 0) {
        dx = 1;
        dy = 1;
    } else if (x == 1 && y == 1) {
        dx = 0;
        dy = 1;
    } else if (x == 0 && y == 1) {
        dx = -1;
        dy = 1;
    } else if (x == -1 && y == 1) {
        dx = -1;
        dy = 0;
    } else if (x == -1 && y == 0) {
        dx = -1;
        dy = -1;
    } else if (x == -1 && y == -1) {
        dx = 0;
        dy = -1;
    } else if (x == 0 && y == -1) {
        dx = 1;
        dy = -1;
    } else if (x == 1 && y == -1) {
        dx = 1;
        dy = 0;
    }
}

void turnCounterClockwise(int& dx, int& dy) {
    const int x = dx, y = dy;
    if (x == 1 && y == 0) {
        dx = 1;
        dy = -1;
    } else if (x == 1 && y == 1) {
        dx = 1;
        dy = 0;
    } else if (x == 0 && y == 1) {
        dx = 1;
        dy = 1;
    } else if (x == -1 && y == 1) {
        dx = 0;
        dy = 1;
    } else if (x == -1 && y == 0) {
        dx = -1;
        dy = 1;
    } else if (x == -1 && y == -1) {
        dx = -1;
        dy = 0;
    } else if (x == 0 && y == -1) {
        dx = -1;
        dy = -1;
    } else if (x == 1 && y == -1) {
        dx = 0;
        dy = -1;
    }
}

int levelAt(const PixelBuffer& copy, int x, int y) {
    if (x < 1 || y < 1 || x > copy.width || y > copy.height) return 0;
    return 255 - copy.first(x, y);
}

}  // namespace

void ReferenceTracer::send(int dx, int dy, int dz, bool wait) {
    if (!output) return;
    lines << formatMoveLine(dx, dy, dz);
    if (wait) ++waits;
}

void ReferenceTracer::traceFigure(const FigureAnalysis& analysis, PixelBuffer& layer,
                                  std::int32_t figure) {
    const LabelGrid& labels = analysis.labels;
    const int width = labels.width(), height = labels.height();
    const PixelBuffer copy = layer;
    auto inFigure = [&](int x, int y) {
        return x >= 1 && y >= 1 && x <= width && y <= height && labels.at(x, y) == figure;
    };
    int k = 1;
    for (;;) {
        int child = 0;
        for (int i = k; i <= analysis.pairCount; ++i) {
            if (analysis.pairs[std::size_t(i) - 1].Outer == figure) {
                child = analysis.pairs[std::size_t(i) - 1].Inner;
                k = i + 1;
                break;
            }
        }
        int startX = 0, startY = 0;
        for (int y = 1; y <= height - 1 && startX == 0; ++y) {
            for (int x = 1; x <= width; ++x) {
                if (labels.at(x, y) == figure && (child == 0 || labels.at(x, y + 1) == child)) {
                    startX = x;
                    startY = y;
                    break;
                }
            }
        }
        if (startX != 0) {
            const int startLevel = levelAt(copy, startX, startY);
            if (tool == Tool::Cutter) {
                send(startX - toolX, startY - toolY, 0, true);
                send(0, 0, -startLevel, true);
            } else {
                send(startX - toolX, startY - toolY, 0, false);
                send(0, 0, 1, true);
            }
            toolX = startX;
            toolY = startY;
            toolLevel = startLevel;
            int dx = child != 0 ? -1 : 1, dy = 0;
            std::set<std::tuple<int, int, int, int>> seen;
            for (;;) {
                turnCounterClockwise(dx, dy);
                for (int turns = 0; turns < 8 && !inFigure(toolX + dx, toolY + dy); ++turns) {
                    turnClockwise(dx, dy);
                }
                toolX += dx;
                toolY += dy;
                const int level = levelAt(copy, toolX, toolY);
                const int difference = level - toolLevel;
                toolLevel = level;
                send(dx, dy, tool == Tool::Cutter ? -difference : 0, true);
                for (int j = -reach; j <= reach; ++j) {
                    for (int i = -reach; i <= reach; ++i) {
                        const bool inMark = tool == Tool::Laser
                                                ? (std::abs(i) <= 1 && std::abs(j) <= 1)
                                                : double(i) * i + double(j) * j <= radius * radius;
                        const int x = toolX + i, y = toolY + j;
                        if (inMark && x >= 1 && y >= 1 && x <= width && y <= height) {
                            layer.paint(x, y, 0, 0, 255);
                        }
                    }
                }
                ++steps;
                if (dx != 0 && dy != 0) turnCounterClockwise(dx, dy);
                if (toolX == startX && toolY == startY) break;
                // A border that comes back to a position and heading without its start pixel
                // would go round for ever; the program ends it there.
                if (!seen.insert({toolX, toolY, dx, dy}).second) break;
            }
            if (tool == Tool::Cutter) {
                send(0, 0, toolLevel, true);
                toolLevel = 0;
            } else {
                send(0, 0, -1, true);
                if (output) ++waits;
            }
        }
        if (child == 0) return;
    }
}

void ReferenceTracer::traceAll(FigureAnalysis& analysis, PixelBuffer& layer) {
    int maxDepth = 0;
    for (const FigureRecord& record : analysis.figures) {
        if (record.State > 0 && record.Color == 0) maxDepth = std::max(maxDepth, record.Depth);
    }
    for (int depth = maxDepth; depth >= 0; --depth) {
        for (int y = 1; y <= analysis.labels.height(); ++y) {
            for (int x = 1; x <= analysis.labels.width(); ++x) {
                const std::int32_t figure = analysis.labels.at(x, y);
                FigureRecord* record = analysis.figure(figure);
                if (record && record->State > 0 && record->State < 4 && record->Color == 0 &&
                    record->Depth == depth) {
                    traceFigure(analysis, layer, figure);
                    analysis.figure(figure)->State = 4;
                }
            }
        }
    }
}
