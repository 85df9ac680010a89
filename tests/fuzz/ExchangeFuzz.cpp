// Fuzz target: the fast exchange against the patient one.
//
// A radio sends one answer of the command's shape, with fuzzed text in it,
// possibly after its echo of the command and possibly cut short; the line
// brings it in fuzzed pieces, each right after the other (every gap shorter
// than the quiet gap), then nothing. The same command runs once through the
// patient exchange and once through the fast one, on a clock that moves only
// when a read waits in vain (by that read's whole deadline).
//
// Input: byte 0 picks the command (FuzzCheck::pick), byte 1 the echo (bit 0)
// and whether the answer is cut short (bit 1), byte 2 the cut, byte 3 the
// lengths of the pieces (0: one piece); the rest is the text put into the
// answer (but the bytes that could end a line or make a result token).
//
// Invariants besides "no crash, no sanitizer report":
// - both exchanges reach the same outcome: the answer taken, the command
//   failed (error answer), or no answer (a timeout, or bytes the parse cannot
//   read as one); an answer taken gives the same value;
// - the fast exchange does not stop inside the answer: it has read every
//   piece when it takes the answer.

#include "common/CharVector.h"
#include "common/DeviceCommInterface.h"
#include "common/ExchangeTiming.h"
#include "common/TimerInterface.h"
#include "radio/RadioBase.h"
#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardCommands.h"
#include "radio/satel/SatelCommands.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/radio/EngineFixtures.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <string>

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using Veltrio::Common::ExchangeTiming;

namespace {

// Time moves only when the harness says so.
using Clock = EngineTest::FakeClock;

// The radio's side of the line: from the write on, each read brings the next
// piece; once they are all in, a read waits its deadline in vain.
class Line : public Veltrio::Common::DeviceCommInterface {
public:
    Line(Clock& clock, std::deque<std::string> pieces) : clock(clock), pieces(std::move(pieces)) {}
    void dataIn() override { read(2500); }
    bool dataInWithin(unsigned int deadline) override { return read(deadline); }
    void dataOut(const char*, unsigned int) override
    {
        removeData();
        written = true;
    }
    using DeviceCommInterface::dataOut;
    std::size_t unread() const { return pieces.size(); }

private:
    bool read(unsigned int deadline)
    {
        if (!written || pieces.empty()) {
            clock.advance(deadline);
            return false;
        }
        injectData(pieces.front().data(), static_cast<unsigned int>(pieces.front().size()));
        pieces.pop_front();
        return true;
    }

    Clock& clock;
    std::deque<std::string> pieces;
    bool written = false;
};

class Engine : public RadioBase {
public:
    Engine(Clock& clock, Line& line) : RadioBase(&clock, 2000, &line, &line, nullptr) {}
    ~Engine() { clearProcessedCommands(); }
    RADIO_TYPE getType() const override { return RADIO_TYPE_UNKNOWN; }
    Command* getEnterCommandModeCommand() override { return nullptr; }
    Command* getExitCommandModeCommand() override { return nullptr; }
};

// One command and the shape of its answer; "#" stands for the fuzzed text.
struct Case {
    std::unique_ptr<Command> (*make)();
    const char* answer;
    std::string (*value)(Command&);  // null: the outcome says it all
};

template <typename C>
std::unique_ptr<Command> make()
{
    return std::make_unique<C>();
}

std::unique_ptr<Command> tableEntry()
{
    auto table = std::make_unique<MicrohardL400SetTableFrequencyCommand>();
    table->setEntry(42);
    table->setFrequency(450125000);
    table->setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    table->setDirection(MICROHARD_L400_DIRECTION_2);
    return table;
}

std::string line(Command& c) { return static_cast<MicrohardBaseClassGetStrValueCommand&>(c).getStrValue(); }
std::string frequencies(Command& c)
{
    auto& f = static_cast<SatelGetFrequencyCommand&>(c);
    return std::to_string(f.getTxFrequency()) + " " + std::to_string(f.getRxFrequency());
}
std::string addresses(Command& c)
{
    auto& a = static_cast<SatelGetAddressCommand&>(c);
    return a.getTxAddress() + " " + a.getRxAddress();
}

const Case cases[] = {
    {make<MicrohardGetNetworkAddressCommand>, "\r\n#\r\n\r\nOK\r\n", line},
    {make<MicrohardL400GetFrequencyCommand>, "\r\n#\r\n\r\nOK\r\n", line},
    {make<MicrohardGetSerialNumberCommand>, "\r\n#\r\n\r\nERROR\r\n", nullptr},
    {make<MicrohardSaveConfigurationCommand>, "#\r\nOK\r\n", nullptr},
    {make<MicrohardExitCommandModeCommand>, "#\r\nERROR\r\n", nullptr},
    {make<MicrohardEnterCommandModeCommand>, "\r\nNO CARRIER\r\n#\r\nOK\r\n", nullptr},
    {make<MicrohardL400EnterDealerModeCommand>, "\r\n#: ", line},
    {make<MicrohardL400ExitDealerModeCommand>, "\r\n#\r\n", nullptr},
    {make<MicrohardL400ExitDealerModeCommand>, "\r\n#\r\nOK\r\n", nullptr},
    {tableEntry, "#:\r\n#:\r\n#:\r\n#:\r\n", nullptr},
    {tableEntry, "#\r\n", nullptr},
    {make<SatelGetFrequencyCommand>, "TX # MHz,RX # MHz\r\n", frequencies},
    {make<SatelGetAddressCommand>, "#;#", addresses},
    {make<SatelEnterCommandModeCommand>, "#OK\r\n", nullptr},
    {make<SatelWriteFlashCommand>, "#\r\n", nullptr},
    {make<SatelWriteFlashCommand>, "#ERROR\r\n", nullptr},
};

enum class Outcome { Taken, Failed, NoAnswer };

struct Result {
    Outcome outcome;
    std::string value;
    std::size_t unread;
};

Result exchange(const Case& c, const ExchangeTiming& timing, const std::deque<std::string>& pieces)
{
    const std::unique_ptr<Command> command = c.make();  // outlives the engine
    Clock clock;
    Line line(clock, pieces);
    Engine engine(clock, line);
    engine.setTiming(timing);
    engine.addCommand(command.get());
    Result result{Outcome::Taken, "", 0};
    try {
        engine.sendCommands();
        FUZZ_CHECK(command->getStatus() == COMMAND_STATUS_OK);
        if (c.value != nullptr) {
            try {
                result.value = c.value(*command);
            } catch (const Veltrio::Common::Exception& e) {
                result.value = e.what();
            }
        }
    } catch (const CommandException&) {
        result.outcome = Outcome::Failed;
    } catch (const Veltrio::Common::Exception&) {
        // A timeout, or bytes the parse cannot read as an answer: the fast
        // exchange may find the latter in the first part of a longer text
        // that the patient one lets run into the timeout.
        result.outcome = Outcome::NoAnswer;
    }
    result.unread = line.unread();
    return result;
}

// The echo of what `c` writes, as a radio with its echo on sends it back.
std::string echoOf(const Case& c)
{
    CharVector out;
    c.make()->buildCmdStr(out);
    std::string echo = out.str();
    if (echo.back() != '\n' && echo.back() != '\r') echo += "\r\n";
    return echo;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const FuzzCheck::Picked input = FuzzCheck::pick(std::size(cases), bytes, size);
    if (input.size < 3) return 0;
    const Case& c = cases[input.index];
    const uint8_t flags = input.data[0], cut = input.data[1], lengths = input.data[2];

    // Text that neither ends a line nor makes "OK" or "ERROR": the bytes as
    // they are, but for those that could, which become other letters.
    static const char letters[] = "0123456789ABCDFGHIJLMNPQSTUVWXYZ .;";
    std::string text;
    for (std::size_t k = 3; k < input.size && text.size() < 40; ++k) {
        const char b = static_cast<char>(input.data[k]);
        text += std::strchr("\r\nOKER", b) == nullptr ? b : letters[input.data[k] % (sizeof letters - 1)];
    }

    std::string stream = (flags & 1) ? echoOf(c) : "";
    for (const char* a = c.answer; *a != '\0'; ++a) {
        if (*a == '#')
            stream += text;
        else
            stream += *a;
    }
    if ((flags & 2) && !stream.empty()) stream.resize(cut % stream.size());

    std::deque<std::string> pieces;
    for (std::size_t at = 0, k = 0; at < stream.size(); ++k) {
        const std::size_t n = lengths == 0 ? stream.size() : 1 + (lengths >> (k % 8)) % 7;
        pieces.push_back(stream.substr(at, n));
        at += n;
    }

    ExchangeTiming fastTiming = ExchangeTiming::fast();
    fastTiming.escapeGuard = 0;  // the quiet line before an escape is not what is compared
    const Result patient = exchange(c, ExchangeTiming(), pieces);
    const Result fast = exchange(c, fastTiming, pieces);
    if (fast.outcome != patient.outcome || fast.value != patient.value) {
        // What a finding was, before it aborts below.
        std::string shown;
        for (const std::string& piece : pieces) shown += "[" + piece + "]";
        std::fprintf(stderr, "case %zu, pieces %s\npatient %d \"%s\", fast %d \"%s\" (%zu unread)\n", input.index,
                     shown.c_str(), static_cast<int>(patient.outcome), patient.value.c_str(),
                     static_cast<int>(fast.outcome), fast.value.c_str(), fast.unread);
    }
    FUZZ_CHECK(patient.unread == 0);
    FUZZ_CHECK(fast.outcome == patient.outcome);
    FUZZ_CHECK(fast.value == patient.value);
    if (fast.outcome == Outcome::Taken) FUZZ_CHECK(fast.unread == 0);
    return 0;
}
