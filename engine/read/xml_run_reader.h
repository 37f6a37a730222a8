#pragma once

// What the readers of XML formats (GPX, TCX) share: reading the tokens and
// handing each element's start and end to the reader, the refusal of UTF-16,
// the track point made of a point's texts, and a run's handing over. Each
// reader keeps its table of elements and its handlers, and is the Reader of
// this template: the token loop calls them directly, with no virtual call.
//
// A Reader has a Kind enumeration whose Document is the document itself, and
//     bool startElement();                      // false: the reading stops
//     bool endElement(Kind kind, qint64 contentEnd);
//     void runTooLarge();                       // the open run holds too much
//     void beforeReading();                     // what it needs before the tokens

#include "input/chunk_reader.h"
#include "read/open_run.h"
#include "read/xml_values.h"
#include "run/run.h"
#include "time/utc_time.h"
#include "xml/xml_tokenizer.h"

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

template <class Reader, class Kind> class XmlRunReader : public RunReader {
  public:
    void read(RunSink &runSink) final
    {
        sink = &runSink;
        if (utf16) {
            error = QStringLiteral("\"%1\" is a %2 in UTF-16, which Kelvane does not read: save it "
                                   "as UTF-8 and convert that")
                        .arg(path, QLatin1StringView(fileKind));
            return;
        }
        self().beforeReading();
        tokens.takeBytesAnew();
        open.assign(1, Kind::Document);
        // Values are taken by their offsets; only text with references needs a look.
        tokens.setReportPlainText(false);
        tokens.setLongestKept(qint64(options.largestRun));
        readTokens();
        misencoded = misencodedNotice(path, tokens);
    }
    QString errorString() const final { return error; }
    QString notice() const final { return misencoded; }

  protected:
    // fileKind names the format's files in a message: "GPX file".
    XmlRunReader(InputBuffer input, const ReadingOptions &options, bool utf16, RunFormat format,
                 const char *fileKind)
        : input(std::move(input)), path(this->input.source().name()), options(options),
          keepDocument(options.content.keepsDocumentOf(format)), utf16(utf16), current(format),
          fileKind(fileKind)
    {
        // A stop is looked at within runs too: one run may be gigabytes long.
        this->input.stopWhen(options.stop);
    }

    // A point's values as read.
    struct PointTexts {
        XmlText time, latitude, longitude, altitude, heartRate, cadence, power, temperature;
    };

    // Adds the point to the open run's points; one without a position is left
    // out of every day file.
    void appendPoint(const PointTexts &point, const std::string &store, std::string_view time)
    {
        if (!point.latitude.present || !point.longitude.present) {
            points.leaveOut();
            return;
        }
        TrackPoint row;
        row.latitude = values.view(point.latitude, store);
        row.longitude = values.view(point.longitude, store);
        row.hasAltitude = point.altitude.present;
        row.altitude = values.view(point.altitude, store);
        UtcTime utc;
        row.hasTime = point.time.present && utcTime(time, utcScratch, utc);
        if (row.hasTime) {
            row.date = utc.date;
            row.time = utc.time;
        }
        row.heartRate = values.view(point.heartRate, store);
        row.cadence = values.view(point.cadence, store);
        row.power = values.view(point.power, store);
        row.temperature = values.view(point.temperature, store);
        points.append(row);
        if (points.byteSize() > options.largestRun)
            self().runTooLarge();
    }

    // Hands the open run over, with its document (built by the reader) and
    // points, and with details its laps, sport and notes; false when the
    // conversion stops.
    bool closeRun(std::string_view sport, std::string_view notes)
    {
        Run run;
        if (current.isKept()) {
            run.document = document;
            run.points = &points;
            if (options.content.details) {
                run.laps = laps;
                run.sport = sport;
                run.notes = notes;
                run.summary = summary;
            }
        }
        const bool goOn = current.close(run);
        points.clear();
        summary = {};
        return goOn;
    }

    ChunkReader input;
    const QString path;
    const ReadingOptions options;
    // A day file of the run's own format is its document.
    const bool keepDocument;
    const bool utf16;
    XmlTokenizer tokens{input};
    XmlValues values{input, tokens};
    RunSink *sink = nullptr;
    RunSummary summary; // of the open run, where its reader learns it
    QString error;
    QString misencoded;

    std::vector<Kind> open; // the kinds of the open elements, the document first
    XmlDocumentHead documentHead;

    OpenRun current;
    TrackPoints points;
    std::vector<Lap> laps;
    std::vector<std::string_view> document;

  private:
    Reader &self() { return static_cast<Reader &>(*this); }

    void readTokens()
    {
        for (;;) {
            const XmlToken token = tokens.next();
            if (tokens.letGoOfKept())
                self().runTooLarge();
            switch (token) {
            case XmlToken::StartTag:
                if (!self().startElement())
                    return;
                break;
            case XmlToken::EndTag: {
                const Kind kind = open.back();
                open.pop_back();
                if (!self().endElement(kind, tokens.tokenOffset()))
                    return;
                break;
            }
            case XmlToken::Instruction:
                if (open.size() == 1)
                    documentHead.takeDeclaration(input, tokens);
                [[fallthrough]];
            case XmlToken::Text: // one with references
            case XmlToken::CData:
            case XmlToken::Comment:
                values.markup();
                break;
            case XmlToken::Doctype:
                break;
            case XmlToken::End:
                return;
            case XmlToken::Error:
                error = notWellFormed(input, tokens);
                return;
            }
        }
    }

    std::string utcScratch;
    const char *fileKind;
};

} // namespace kelvane
