#include "engrave/PictureEngraving.h"

#include <cstdlib>
#include <limits>

#include "app/config/NumberText.h"
#include "link/job/DryRunNote.h"
#include "link/protocol/ReplyWait.h"

namespace {

constexpr std::uint8_t kWhite = 255;
constexpr int kRedByte = 2;

// `field`: the size field at fault, which the window then puts the keyboard focus in.
[[noreturn]] void refuse(const QString& message, std::optional<JobField> field = std::nullopt) {
    throw JobEnded(JobEnded::Reason::Refused, kErrorTitle, message, field);
}

bool fitsInt32(qint64 value) {
    return value >= std::numeric_limits<qint32>::min() &&
           value <= std::numeric_limits<qint32>::max();
}

// The checks made before the opening line: a finished width above 0 that gives at least one
// step per pixel on both axes, and moves across the whole picture that fit the move line.
void checkBeforeStart(const PixelBuffer& picture, JobHost& host, MoveProtocol& protocol) {
    if (picture.isEmpty()) refuse(QStringLiteral("Картинка не загружена."));
    const MoveProtocol::PixelSteps steps = protocol.stepsPerPixel();
    const QString widthText = host.fieldText(JobField::FinishedWidth).trimmed();
    if (parseNumber(widthText).value_or(0) <= 0)
        refuse(QStringLiteral("Ширина готового изображения должна быть больше 0 мм."),
               JobField::FinishedWidth);
    for (const auto& [axis, perPixel] : {std::pair{u'X', steps.x}, std::pair{u'Y', steps.y}}) {
        if (perPixel == 0) {
            refuse(QStringLiteral("При ширине %1 мм на пиксель картинки приходится 0 шагов по "
                                  "оси %2. Увеличьте ширину или уменьшите картинку.")
                       .arg(widthText)
                       .arg(QChar(axis)),
                   JobField::FinishedWidth);
        }
    }
    const qint64 across = qint64(picture.width - 1) * steps.x;
    const qint64 down = qint64(picture.height - 1) * steps.y;
    if (!fitsInt32(-qint64(steps.x)) || !fitsInt32(across) || !fitsInt32(down)) {
        refuse(QStringLiteral("При ширине %1 мм перемещение через всю картинку не помещается в "
                              "команду станка (больше 2147483647 шагов). Уменьшите ширину.")
                   .arg(widthText),
               JobField::FinishedWidth);
    }
}

// Hands the changed pixels to the host in one rectangle per frame, and lets events run.
class FrameClock {
public:
    FrameClock(JobHost& host, const EngravingState& state)
        : m_host(host), m_state(state), m_last(host.clockMs()) {}

    void changed(int x, int y) { m_dirty |= QRect(x, y, 1, 1); }

    // Called after every pixel; does its work only when a frame's time has passed.
    void tick() {
        if (m_host.clockMs() - m_last < kEngravingFrameMs) return;
        flush();
        m_host.letEventsRun();
        m_last = m_host.clockMs();
    }

    void flush() {
        if (!m_dirty.isEmpty()) m_host.redraw(m_dirty);
        m_dirty = QRect();
        const EngravingCounts& counts = m_state.counts;
        m_host.reportProgress(
            {m_state.burnt, counts.burntTotal,
             QStringLiteral("строка %1 из %2").arg(m_state.row).arg(counts.rows)});
    }

private:
    JobHost& m_host;
    const EngravingState& m_state;
    std::int64_t m_last;
    QRect m_dirty;
};

void stopIfAsked(JobHost& host, const EngravingState& state) {
    switch (host.stopLevel()) {
        case StopLevel::None:
            return;
        case StopLevel::Abandon:
            throw abandonedJob();
        case StopLevel::Stop:
            throw JobEnded(JobEnded::Reason::Stopped, kStopTitle,
                           QStringLiteral("Гравировка остановлена: лазер стоит над пикселем %1 "
                                          "строки %2 из %3; выжжено %4 из %5 пикселей.")
                               .arg(state.last.x())
                               .arg(state.last.y())
                               .arg(state.counts.rows)
                               .arg(state.burnt)
                               .arg(state.counts.burntTotal));
    }
}

}  // namespace

QString engravingDoneMessage() {
    return QStringLiteral("Гравировка закончена!");
}

EngravingCounts countEngraving(const PixelBuffer& picture) {
    EngravingCounts counts;
    if (picture.isEmpty()) return counts;
    counts.rows = picture.height;
    for (int y = 1; y <= picture.height; ++y) {
        const std::uint8_t* p = picture.pixel(1, y);
        for (int x = 0; x < picture.width; ++x, p += picture.bytesPerPixel)
            counts.burntTotal += *p != kWhite;
    }
    return counts;
}

void EngravePicture(PixelBuffer& picture, JobHost& host, MoveProtocol& protocol,
                    EngravingState* stateOut, const SurfaceChange& surfaceChange) {
    EngravingState local;
    EngravingState& state = stateOut ? *stateOut : local;
    state = EngravingState{};
    protocol.setPictureWidth(picture.width);
    checkBeforeStart(picture, host, protocol);
    state.counts = countEngraving(picture);
    const int linesBefore = protocol.linesSent();

    FrameClock frames(host, state);
    frames.flush();
    stopIfAsked(host, state);
    protocol.MovePixels(0, 0, -protocol.stepsPerPixel().x, true);

    const bool hasRed = picture.bytesPerPixel > kRedByte;
    for (int y = 1; y <= picture.height; ++y) {
        state.row = y;
        protocol.beginSection(y);
        const bool leftToRight = y % 2 == 1;
        const int step = leftToRight ? 1 : -1;
        const int first = leftToRight ? 1 : picture.width;
        std::uint8_t* p = picture.pixel(first, y);
        const std::ptrdiff_t stride = step * picture.bytesPerPixel;
        for (int x = first, i = 0; i < picture.width; ++i, x += step, p += stride) {
            const std::uint8_t v = p[0];
            if (v == kWhite) continue;
            stopIfAsked(host, state);
            const QPoint to(x, y);
            protocol.MovePixels(x - state.last.x(), y - state.last.y(), kWhite - v, true,
                                surfaceChange ? surfaceChange(state.last, to) : 0);
            state.last = QPoint(x, y);
            ++state.burnt;
            if (hasRed) p[kRedByte] = 255;
            frames.changed(x, y);
            frames.tick();
        }
        frames.tick();
    }
    frames.flush();
    QString done = engravingDoneMessage();
    if (protocol.linesSent() == linesBefore) {
        // Started from a row past the last one to burn, the machine had nothing to do.
        done += QStringLiteral("\r\n") +
                (host.outputEnabled() && protocol.skippedLines() > 0
                     ? QStringLiteral("С выбранной строки гравировать нечего: на станок ничего не "
                                      "отправлено.")
                     : dryRunNote());
    }
    host.showMessage(kEngravingTitle, done);
}
