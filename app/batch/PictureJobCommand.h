#pragma once

#include <cstdint>
#include <optional>

#include "app/batch/BatchCommandLine.h"
#include "figures/FigureTables.h"
#include "figures/PictureLayers.h"
#include "link/protocol/JobJournal.h"

class BatchJobHost;
struct ProgramContext;

// What the picture job commands (mill, outline, engrave) share.

// A picture of the figure commands (mill, outline): its layers and its figures as "Разобрать"
// finds them.
struct FigurePicture {
    PictureLayers layers;
    FigureAnalysis analysis;
};

// The words of a figure command, `command MODE PICTURE` ("mill sideways PIC"): with two
// arguments of which the first is one of `modes`, nothing; otherwise the refusal of the command
// line (naming a wrong mode word and the words allowed), as badCommandLine returns it.
std::optional<int> refuseModeWords(const QString& command, const QStringList& arguments,
                                   const QStringList& modes);

// The loader's message in the words of the command line: a picture file that does not exist is
// named with its full path; other failures keep the loader's message.
QString pictureLoadFailure(const QString& path, PictureLoadStatus status, const QString& message);

// Loads and parses the picture `path` for a figure job; prints why and returns nothing when it
// cannot be loaded, when it holds no dark figure on a light ground (no nesting tree), or when
// `selected` is set and --figure names no figure of the tree.
std::optional<FigurePicture> loadFigurePicture(const QString& path, const BatchOptions& options,
                                               bool selected);

// The figure that --figure names when the nesting tree holds it, like a node selected in the
// window's tree; nothing otherwise (loadFigurePicture has refused that already).
std::optional<std::int32_t> selectedFigure(const BatchOptions& options,
                                           const FigureAnalysis& analysis);

// Names the job for ports that record it: `what` (the job and its command words) and the
// picture's file name.
void setPictureJobTitle(BatchJobHost& host, const QString& what, const QString& picturePath);

// Names the job in its journal: `window` and `job` (its command words, "mill all"), the picture
// `picture` loaded from `picturePath` (before the job draws on it), the size fields set in
// `host`, the job's own `entries` (figureJobEntries) and the program's settings.
void setPictureJournal(BatchJobHost& host, const ProgramContext& program, const QString& window,
                       const QString& job, const QString& picturePath, const PixelBuffer& picture,
                       const QList<JournalEntry>& entries = {});

// The command words of a figure job for its journal: "mill all", "outline selected 3".
QString jobWords(const QString& command, const QString& mode, const BatchOptions& options);
