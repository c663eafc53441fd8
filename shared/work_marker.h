#pragma once

#include <QString>
#include <optional>

namespace tb::cashfile {

// While Restorix replaces the data file (a restore, a compaction or a repair) it leaves a note
// beside it: what it does and which file stood there before. Killed in the middle, it leaves
// the note behind, and the next start of Tillbook tells the operator whether the work took
// place: the data file is either still the one from before, or already the complete new one.
class WorkMarker {
  public:
    enum class Work { Restore, Compaction };

    // Notes that the work begins on the data file as it is now (it may not exist yet).
    WorkMarker(const QString& dataFile, Work work);
    // The work ended, done or given up: the note goes.
    ~WorkMarker();
    WorkMarker(const WorkMarker&) = delete;
    WorkMarker& operator=(const WorkMarker&) = delete;

    // The complete, checked new file is about to take the data file's name.
    void replacing(const QString& newFile);

    static QString pathFor(const QString& dataFile);

    struct Interrupted {
        Work work = Work::Restore;
        enum Outcome { NotDone, Done, Unknown } outcome = Unknown;
        bool hadFile = false; // a data file stood there when the work began
    };
    // The note of work that was interrupted, if there is one.
    static std::optional<Interrupted> find(const QString& dataFile);
    static void clear(const QString& dataFile);
    // What the next start says about it, in German.
    static QString message(const Interrupted& what, const QString& dataFile);

  private:
    QString path_;
};

// Where Restorix keeps the data file a restore replaces (overwritten by the next restore).
QString keptBeforeRestoreOf(const QString& dataFile);

// The name under which a damaged data file is kept beside it: "<file>.beschaedigt", or the
// first free one of "<file>.beschaedigt-2", "-3", … The programs never delete such a file.
QString freeDamagedNameOf(const QString& dataFile);

} // namespace tb::cashfile
