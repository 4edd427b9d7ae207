#pragma once

#include <QString>
#include <string_view>

// The titles of the program's message boxes, all in one place. A title carries the kind of
// message it heads, and the box's icon follows the kind: the same words can head a refusal (a
// warning) and a report of work done (information).

enum class MessageKind { Warning, Information };

struct MessageTitle {
    std::u16string_view text;
    MessageKind kind;

    QString toString() const {
        return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    }
    friend constexpr bool operator==(const MessageTitle&, const MessageTitle&) = default;
};

inline constexpr std::u16string_view kConnectionTestText = u"Проверка соединения";
inline constexpr std::u16string_view kProgramName = u"Strugal";

// Refusals of fields and inputs, failures of the port, a job broken off.
inline constexpr MessageTitle kErrorTitle{u"Ошибка", MessageKind::Warning};
// Something the user should know before going on: nothing to do, a border that did not close.
inline constexpr MessageTitle kAttentionTitle{u"Внимание", MessageKind::Warning};
// The user's "Стоп" carried out; the text says where the tool stands.
inline constexpr MessageTitle kStopTitle{u"Стоп", MessageKind::Information};
inline constexpr MessageTitle kConnectionOpenTitle{kConnectionTestText, MessageKind::Information};
inline constexpr MessageTitle kConnectionFailedTitle{kConnectionTestText, MessageKind::Warning};
inline constexpr MessageTitle kScanTitle{kProgramName, MessageKind::Information};
inline constexpr MessageTitle kScanRefusedTitle{kProgramName, MessageKind::Warning};
inline constexpr MessageTitle kEngravingTitle{u"Лазерная гравировка", MessageKind::Information};
inline constexpr MessageTitle kPictureSavedTitle{u"Сохранение", MessageKind::Information};
inline constexpr MessageTitle kScanExportedTitle{u"Экспорт", MessageKind::Information};
