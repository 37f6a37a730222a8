#pragma once

// The laps and the note of a history run, for the day files that show them.
// Followed only when a writer asks for them (RunContent::details), so the
// reading of runs for the other day files does no work for them.

#include "run/run.h"
#include "xml/xml_text.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

class HistoryRunDetails {
  public:
    // Forgets the laps and the note of the run before.
    void clear();
    // Follows a line of the open run: raw as read, line trimmed.
    void follow(std::string_view raw, std::string_view line);
    // A history run has its note and laps before its track: from the <Track>
    // line on there is nothing more to follow.
    bool done() const { return atTrack; }
    // The run's laps, and its note as UTF-8 character data, valid until clear().
    std::span<const Lap> laps();
    std::string_view notes(ByteEncoding encoding);

  private:
    struct LapTexts {
        std::string startTime, seconds, meters, calories;
    };
    void takeNoteText(std::string_view text);

    std::vector<LapTexts> lapTexts; // reused from run to run: lapCount are the run's
    std::size_t lapCount = 0;
    bool inLap = false;
    bool atTrack = false;
    enum class Note { Awaited, Open, Taken } note = Note::Awaited;
    std::string noteBytes; // as written
    std::string noteText;  // in UTF-8
    std::vector<Lap> lapViews;
};

// The seconds of an xsd:duration such as "PT1259.400S" or "PT1H2M3S" as a
// decimal number ("1259.400", "3723"); empty when it is none, or counts years
// or months, whose length in seconds is unknown.
std::string durationSeconds(std::string_view duration);

} // namespace kelvane
