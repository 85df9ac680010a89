// Radio answer parsers: the cost of one parse call on a complete answer, for
// every answer shape of the Satel and Microhard command families. The engine
// offers the whole receive queue to the waiting command's parse after each
// read, so this is the work per poll once the answer is in.
//
// Each row: the command class whose parse reads the shape, and a whole answer
// as the radio sends it (with the line ends a real radio puts around it).

#include "common/CharVector.h"
#include "radio/microhard/MicrohardCommands.h"
#include "radio/satel/SatelCommands.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using Veltrio::Common::CharVector;
using namespace Veltrio::Radio;

template <typename Cmd>
void BM_Parse(benchmark::State& state, const char* answer)
{
    const CharVector data{std::string(answer)};
    Cmd command;
    unsigned int start = 0, length = 0;
    bool complete = false;
    for (auto _ : state) {
        complete = command.parse(data, start, length);
        benchmark::DoNotOptimize(complete);
        benchmark::DoNotOptimize(start);
    }
    if (!complete || command.getStatus() != COMMAND_STATUS_OK) state.SkipWithError("the answer was not taken");
}

template <typename Cmd>
void add(const char* name, const char* answer)
{
    benchmark::RegisterBenchmark(name, BM_Parse<Cmd>, answer);
}

} // namespace

int main(int argc, char** argv)
{
    // clang-format off
    // Satel: the token answers of setters and mode commands, then one query per reader.
    add<SatelEnterCommandModeCommand>(     "Satel_token_OK",                "OK\r\n");
    add<SatelSetPowerCommand>(             "Satel_setter_OK_after_echo",    "SL@P=500\r\nOK\r\n");
    add<SatelWriteFlashCommand>(           "Satel_any_answer",              "OK\r\n");
    add<SatelGetFrequencyCommand>(         "Satel_TX_RX_frequencies",       "TX 438.12500 MHz, RX 438.12500 MHz\r\n");
    add<SatelGetCenterFrequencyCommand>(   "Satel_number_MHz",              "438.00000 MHz\r\n");
    add<SatelGetChannelSpacingCommand>(    "Satel_number_kHz",              "12.5 kHz\r\n");
    add<SatelGetPowerCommand>(             "Satel_number_mW",               "500 mW\r\n");
    add<SatelGetSignalThresholdCommand>(   "Satel_number_dBm",              "-110 dBm\r\n");
    add<SatelGetSignalStrengthCommand>(    "Satel_level_with_marker",       "<-118 dBm\r\n");
    add<SatelGetAddressCommand>(           "Satel_addresses",               "0001;0001");
    add<SatelGetOperationModeCommand>(     "Satel_operation_mode",          "S\r\n");
    add<SatelGetModemTypeCommand>(         "Satel_whole_text",              "RADIOSIM UHF\r\n");
    add<SatelGetRadioSoftwareVersionCommand>( "Satel_software_version",     "V07.22.2\r\n");
    add<SatelGetRadioBoardVersionCommand>( "Satel_board_version",           "HW:2.1\r\n");
    add<SatelGetSerialPortConfigCommand>(  "Satel_serial_port_config",      "19200,8,N,1\r\n");

    // Microhard: register reads (first answer line), writes and fixed commands
    // (tokens), identification lines and the dealer-mode prompts.
    add<MicrohardGetOperatingModeCommand>( "Microhard_register_read",       "\r\n1\r\n\r\nOK\r\n");
    add<MicrohardGetNetworkAddressCommand>( "Microhard_register_read_long", "\r\n1234567890\r\n\r\nOK\r\n");
    add<MicrohardL400GetFrequencyCommand>( "Microhard_L400_frequency_line", "\r\n42 - 450.1250\r\n\r\nOK\r\n");
    add<MicrohardSetOperatingModeCommand>( "Microhard_register_write_OK",   "\r\nOK\r\n");
    add<MicrohardEnterCommandModeCommand>( "Microhard_escape_answer",       "\r\nNO CARRIER\r\nOK\r\n");
    add<MicrohardExitCommandModeCommand>(  "Microhard_exit_OK",             "\r\nOK\r\n");
    add<MicrohardGetSerialNumberCommand>(  "Microhard_serial_number",       "\r\nSN 123456\r\n\r\nOK\r\n");
    add<MicrohardL400EnterDealerModeCommand>( "Microhard_dealer_prompt",    "\r\nPassword:\r\n");
    // clang-format on
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
