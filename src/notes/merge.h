#pragma once

#include "note.h"
#include "notes_file.h"

#include <string>
#include <string_view>
#include <vector>

namespace pindle {

// Where the other version of the notes comes from.
enum class MergeSource {
    // The document itself, replaced by another program (a sync engine bringing another machine's
    // edits): a successor of the last common version.
    document,
    // A conflict copy a sync engine left beside the document. Its ancestry is unknown (it is often
    // older than the document), so it only ever adds: it deletes nothing and overwrites nothing.
    conflictCopy,
};

// Three-way merge of the notes, note by note, keyed by id. `base` is the last common version (what
// was last read from or written to the document), `local` the notes in memory, `other` the notes
// found on disk. Nothing is ever lost:
// - a note only in `other` is added, after its predecessor in `other`'s order;
// - a note changed on one side only takes that side's version;
// - a note deleted on one side and unchanged on the other is deleted; deleted on one side and
//   changed on the other is kept;
// - a note changed on both sides keeps the local version in place and gets the other side's text
//   as a new note right after it, in the same colour, with an id derived from the note's id and
//   that text (conflictNoteId), so two machines resolving the same conflict make the same note.
// The histories (`localHistory` of the notes in memory, `otherHistory` as the document records
// them) say which side changed a note: another machine's text that does not descend from ours
// changed on both sides, even where ours is the base (the other machine never saw it), and then
// the other document deletes nothing, as it may never have held what it lacks. Nor does a document
// written with histories or deletions (`otherDeleted`, the notes it records as deleted) delete a
// note it lacks but does not record as deleted: that machine never held it. A text this side
// knows as an ancestor of its own is no change. Where both machines already keep the other's text
// as a conflict note, both settle on the same arrangement: the later text in the note, the other
// beside it. A conflict note whose text its note holds, or grew out of, goes.
// A conflict copy adds notes the local side lacks (unless blank, or deleted here and unchanged
// there) and conflict notes for texts that differ from both the local and the base version and
// are not ancestors of the local one.
// Pure; the result never has two notes with the same id. `mergedHistory`, when given, receives
// the histories of the result's notes.
std::vector<Note> mergeNotes(const std::vector<Note>& base, const std::vector<Note>& local,
                             const std::vector<Note>& other, MergeSource source, const Histories& localHistory = {},
                             const Histories& otherHistory = {}, const Deletions& otherDeleted = {},
                             Histories* mergedHistory = nullptr);

// The id of the note that holds `text` as the other side of a conflict on the note `id`: a
// version 4 UUID in canonical lower-case form, the same on every machine for the same arguments.
std::string conflictNoteId(std::string_view id, std::string_view text);

// Whether `name` is a conflict copy that Syncthing, Nextcloud or Dropbox writes beside the
// document named `documentName` ("notes.json"):
//   notes.sync-conflict-20260102-030405-ABCDEFG.json      (Syncthing)
//   notes (conflicted copy 2026-01-02 030405).json         (Nextcloud)
//   notes (Jane's conflicted copy 2026-01-02).json         (Dropbox, also "… (1))")
bool isConflictCopyName(std::string_view name, std::string_view documentName);

} // namespace pindle
