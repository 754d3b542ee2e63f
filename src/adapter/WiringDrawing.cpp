#include "adapter/WiringDrawing.h"

#include <algorithm>
#include <array>

#include "adapter/PinInfo.h"
#include "base/TextUtil.h"
#include "console/Console.h"

namespace mervex {

namespace {

// Where each signal goes on the target's side, by SignalId.
struct SignalEnd {
    const char* isp6;   // the pin of the 6-pin ISP header; "-" for none
    const char* isp10;  // the pin of the 10-pin ISP header
    bool chipLine;      // a line of the chip itself, which a "~" inverts in the cable
    const char* role;   // what the row says about it
};

const SignalEnd signalEnds[SignalCount] = {
    {"4", "1", true, ""},                                          // mosi
    {"1", "9", true, ""},                                          // miso
    {"3", "7", true, ""},                                          // sck
    {"5", "5", true, ""},                                          // reset
    {"-", "-", true, "to the chip's XTAL1, not on the headers"},   // xtal
    {"2", "2", false, "supplies the target"},                      // power
    {"-", "-", false, "held active while the cable is used"},      // set
    {"-", "-", false, "buffer enable"},                            // enable
    {"-", "-", false, "error LED"},                                // led_error
    {"-", "-", false, "OK LED"},                                   // led_ok
    {"-", "-", false, "push-button"},                              // key
};

// Pin, port line, direction, signal, ISP-6, ISP-10, note.
constexpr size_t Columns = 7;
using Row = std::array<std::string, Columns>;

std::string noteOf(const WiredLine& wired) {
    if (!wired.remark.empty()) return wired.remark;
    const SignalEnd& end = signalEnds[size_t(wired.signal)];
    std::string note = end.role;
    if (wired.activeLow) {
        if (!note.empty()) note += ", ";
        note += end.chipLine ? "inverted in the cable" : "active low";
    }
    return note;
}

Row rowOf(const WiredLine& wired) {
    const SignalEnd& end = signalEnds[size_t(wired.signal)];
    const bool input = signalInfo(wired.signal).direction == DirectionInput;
    return {wired.pin, wired.line, input ? "<-" : "->", signalInfo(wired.signal).name, end.isp6, end.isp10,
            noteOf(wired)};
}

// Pins without a connector pin (the data-direction bit) come last.
int drawingOrder(const PinInfo& pin) { return pin.connectorPin != 0 ? pin.connectorPin : 256; }

}  // namespace

WiringConnector parallelPortWiring(const PinMap& map) {
    std::vector<const PinInfo*> pins;
    for (const PinInfo& pin : pinTable) pins.push_back(&pin);
    std::stable_sort(pins.begin(), pins.end(),
                     [](const PinInfo* a, const PinInfo* b) { return drawingOrder(*a) < drawingOrder(*b); });

    WiringConnector connector{"DB-25", "18-25", {}};
    for (const PinInfo* pin : pins) {
        for (size_t id = 0; id < SignalCount; ++id) {
            const SignalEntry& entry = map.entries[id];
            if ((entry.pins() & pin->mask) == 0) continue;
            // The masks hold the register's level; the connector's is the
            // complement on a hardware-inverted pin.
            const bool activeLow = ((entry.clearMask & pin->mask) != 0) != pin->inverted;
            WiredLine wired{"-", (activeLow ? "~" : "") + std::string(pin->name), SignalId(id), activeLow, ""};
            if (pin->connectorPin != 0)
                wired.pin = std::to_string(pin->connectorPin);
            else
                wired.remark = "no pin: the port's data lines float while the cable is off";
            connector.lines.push_back(wired);
        }
    }
    return connector;
}

WiringConnector gpioWiringConnector(const GpioWiring& wiring) {
    WiringConnector connector{"GPIO", "GND", {}};
    for (size_t id = 0; id < SignalCount; ++id)
        for (const GpioLineName& written : wiring.of(SignalId(id)))
            connector.lines.push_back(
                {(written.inverted ? "~" : "") + written.line, "", SignalId(id), written.inverted, ""});
    return connector;
}

std::string drawWiring(const std::string& name, const WiringConnector& connector) {
    std::vector<Row> rows{{connector.name, "line", "", "signal", "ISP-6", "ISP-10", ""}};
    for (const WiredLine& wired : connector.lines) rows.push_back(rowOf(wired));
    rows.push_back({connector.groundPins, "", "", "ground", "6", "4,6,8,10", ""});

    // A column with nothing below its heading (the port's line names of a
    // connector that has none) is left out.
    std::array<size_t, Columns> widths{};
    std::array<bool, Columns> used{};
    for (size_t row = 0; row < rows.size(); ++row) {
        for (size_t column = 0; column < Columns; ++column) {
            widths[column] = std::max(widths[column], rows[row][column].size());
            used[column] = used[column] || (row > 0 && !rows[row][column].empty());
        }
    }

    std::string text = formatText("%s wiring, %s to the 6-pin and 10-pin ISP headers:\n",
                                  name.empty() ? "Pin map" : name.c_str(), connector.name.c_str());
    for (const Row& row : rows) {
        std::string line = " ";
        for (size_t column = 0; column < Columns; ++column) {
            if (!used[column]) continue;
            line += ' ';
            line += row[column];
            line.append(widths[column] - row[column].size() + 1, ' ');
        }
        text += trimEnd(line, " ") + "\n";
    }
    return text;
}

std::string drawPinMap(const PinMap& map) { return drawWiring(map.name, parallelPortWiring(map)); }

std::string drawAdapterPinMap(const PinMap& adapterMap) {
    PinMap asWritten = adapterMap;
    asWritten.driveResetAsHeld();  // an exchange: done twice, the map is as written
    return drawPinMap(asWritten);
}

void printDrawing(const std::string& drawing) {
    for (const std::string& line : splitList(drawing, "\n")) message(LevelInfo, "%s\n", line.c_str());
}

}  // namespace mervex
