// The bridge's process-wide state, in one object with named parts.
//
// `main` creates one Context and passes it by reference to every procedure;
// tests create a fresh one per case with doubles for the services. Each part
// names who writes it; everybody else only reads it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "amount.h"
#include "kordal_binding.h"
#include "services.h"

namespace veltar {

// Conf.ini, section [Mag]; written only by the start-up (NRPOS also by the
// printer utilities screen).
struct Settings {
    int32_t ComPort = 0;
    Amount Multiplu = Amount::fromInt(1);
    int32_t TipInterfata = 0;
    int32_t TipMesaj = 0;
    std::string Titlu = "VELTAR";
    uint8_t NRPOS = 1;
};

// How the printer counts money; set when the main window loads and by the
// start-of-trading checks from the printer's leu state.
struct MoneyState {
    int LeuGreu = 1;
    int NrZecimale = 2;
    Amount FactorLeu = Amount::fromInt(10000);
};

// Shared state of the printer command layer: the buffers of the last exchange
// and what the next one sends.
struct CommandState {
    static constexpr std::size_t kReplySize = 251;
    static constexpr std::size_t kStatusSize = 10;

    std::string BufRaspuns = std::string(kReplySize, ' ');
    std::string BufStare = std::string(kStatusSize, ' ');
    std::string ParametriComanda;
    uint8_t CodComanda = 0;
    int32_t RezultatComanda = 0;
    std::array<std::string, 11> MesajeRezultat{};    // text per library result code
    std::array<int32_t, 3> PorturiImprimanta{};      // entry 0 = ComPort once the port is open
    std::array<uint8_t, 9> OctetiStare{};            // S0..S7 of the last refreshed reply
};

// One sale line as the receipt flow hands it to VanzareMarfa.
struct SaleLine {
    std::string DenumireArticol;
    Amount CantitateArticol;
    uint8_t LinieNegativa = 0;
    Amount PretArticol;
    std::string GrupaTVA;
    uint8_t ProcentActiv = 0;
    Amount ProcentArticol;
};

// The sales file as loaded: one entry per line of its kind, in file order.
// Numbers are kept as texts in the general number format with a point, as the
// loader rounded them.
struct SaleEntry {
    std::string name;
    std::string quantity;
    std::string price;    // unit price, already multiplied by Multiplu
    std::string group;
    std::string percent;  // "0" when the line has none
};
struct AdjustmentEntry {
    std::string kind;   // "," percentage of the subtotal, ":" amount
    std::string value;  // read at execution by the leading-number rule
    std::string group;  // "A".."D", or a blank for "E"
};
struct PaymentEntry {
    std::string mode;    // "C", "A", "E" or "N"
    std::string amount;  // whole units, already multiplied by Multiplu
};

// State of the exchange-file interface: the polling tick, the sale in
// progress and the trading checks. Written by bridge/exchange only.
struct ExchangeState {
    std::vector<SaleEntry> LiniiVanzare;
    std::vector<AdjustmentEntry> LiniiMajRed;
    std::vector<PaymentEntry> LiniiPlata;

    int32_t NrBon = 0;
    int32_t UltimaLinie = 0;
    Amount SumaBon;
    Amount SumaAchitata;
    Amount RestDePlata;
    int32_t CantitateMaxima = 20000;

    std::array<Amount, 4> CoteTVAFisier{};
    std::array<Amount, 4> CoteTVAImp{};

    // True from the first step of a polling tick to its end: a timer event
    // that comes meanwhile (from a box or a wait of this tick) is dropped.
    bool tickRunning = false;
    // Set once a procedure has closed the port and asked the program to end:
    // nothing more is carried out after that.
    bool programEnded = false;
};

// State of the program's windows: written by the start-up and the windows'
// handlers (bridge/shell/windows) only.
struct WindowsState {
    // The main window's load sequence has run (it runs once per program).
    bool mainWindowLoaded = false;
    // The tray icon is shown, so a hidden main window stays reachable.
    bool trayIcon = false;
    // The activation's trading checks are under way: a box of theirs that
    // closes activates the window again, and that must not start them anew
    // inside themselves.
    bool activationChecksRunning = false;
};

// The services the logic runs on; owned by whoever builds the Context.
struct Services {
    WindowServices& ui;
    Clock& clock;
    ProgramFiles& files;
    KordalExports& kordal;
};

struct Context {
    explicit Context(Services s) : services(s) {}

    Services services;
    RegionalFormat regional;
    Settings settings;
    MoneyState money;
    bool VerificareLaActivare = false;
    // Receipt header lines 1..3 and footer lines 4..5, 40 characters each (entry 0 unused).
    std::array<std::string, 6> LiniiHeaderFooter{};
    CommandState command;
    SaleLine sale;
    ExchangeState exchange;
    WindowsState windows;
};

}  // namespace veltar
