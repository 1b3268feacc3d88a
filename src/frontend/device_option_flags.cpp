#include "frontend/device_option_flags.h"

namespace bw {

void AddIdentityOptions(CLI::App* cmd, DeviceOptionText& text) {
    cmd->add_option("--ic", text.ic, "IC type: 0, 1, 2 or the row text (KVDE31X, ...)")
        ->capture_default_str();
    cmd->add_option("--vid", text.vid, "vendor ID, hex (default: the IC type's)");
    cmd->add_option("--pid", text.pid, "product ID, hex (default: the IC type's)");
}

void AddWriteOptions(CLI::App* cmd, DeviceOptionText& text) {
    cmd->add_option("--total", text.total, "Total Times")->capture_default_str();
    cmd->add_option("--retries", text.retries, "Retry Times")->capture_default_str();
    cmd->add_option("--format", text.format, "data format: 2k or 256")->capture_default_str();
    cmd->add_option("--blocks", text.blocks, "block count N, 1..8")->capture_default_str();
    cmd->add_option("--sleep", text.sleep, "pause after the exchange, ms")->capture_default_str();
    cmd->add_flag("--write-id", text.writeId, "write the factory record (Write Product ID)");
    cmd->add_option("--type", text.type, "product type, hex")->capture_default_str();
    cmd->add_option("--date", text.date, "production date, hex (YYYYMMDD)")->capture_default_str();
    cmd->add_option("--sn", text.sn, "product number, hex")->capture_default_str();
    cmd->add_option("--factory-no", text.factoryNo, "factory, 1..8")->capture_default_str();
    cmd->add_option("--line", text.line, "line, A..Z")->capture_default_str();
    cmd->add_option("--station", text.station, "station, 1..8")->capture_default_str();
}

void AddVerifyAfterWriteOption(CLI::App* cmd, DeviceOptionText& text) {
    cmd->add_flag("--verify-after-write,!--no-verify-after-write", text.verifyAfterWrite,
                  "after a passing write, read back and compare every byte written (the "
                  "default; --no-verify-after-write: only the transfers, or the first N blocks)");
}

void AddImageOptions(CLI::App* cmd, DeviceOptionText& text) {
    cmd->add_option("--expect-sha256", text.expectSha256,
                    "load only the image with this SHA-256 (64 hex digits)")
        ->type_name("HEX");
}

void AddCountOption(CLI::App* cmd, RunOptions& run) {
    cmd->add_option("--count", run.count, "stop after N mice (default: on Ctrl-C or SIGTERM)")
        ->check(CLI::Range(1, 1000000000))
        ->type_name("N");
}

CLI::Option* AddSlotsOption(CLI::App* cmd, RunOptions& run) {
    return cmd
        ->add_option("--slots", run.slotsText,
                     "with --gang: at most N slots, or the USB ports of slots 1, 2, ... "
                     "(as `list --json` names them)")
        ->type_name("N|PORT,...");
}

CLI::Option* AddNumberingOptions(CLI::App* cmd, bool& rewrite, bool& noLedger) {
    cmd->add_flag("--rewrite", rewrite,
                  "with --write-id: a mouse that holds a number the ledger recorded as written "
                  "is written again with that number (default: it is left alone, \"Already "
                  "written\")");
    return cmd->add_flag("--no-ledger", noLedger,
                         "with --write-id: keep the product numbers nowhere (without --ledger "
                         "they are kept in the default ledger); every start begins again at --sn");
}

}  // namespace bw
