#include "app/Strings.h"

#include <unordered_map>

namespace {

const std::unordered_map<int, const char*>& Table() {
    static const std::unordered_map<int, const char*> table = {
        {1, "ano"},
        {2, "ne"},
        {3, "online"},
        {4, "offline"},
        {5, "náhradní volba"},
        {6, "dodatečná volba"},
        {10, "Alarm"},
        {11, "bezejmenná"},
        {50, "Přijaté"},
        {51, "Odeslané"},
        {52, "K odeslání"},
        {60, "Všechny soubory|*.*"},
        {61, "Soubory konfigurace (*.cfg)|*.cfg"},
        {62, "Textové dokumenty (*.txt)|*.txt"},
        {100, "Došlo k chybě při inicializaci: "},
        {101, "Došlo k chybě při načítání konfigurace ze souboru."},
        {102, "Došlo k chybě při ukládání konfigurace do souboru."},
        {103, "Došlo k chybě při ukládání SMS do souboru."},
        {104, "Konfigurace byla změněna, chcete změny uložit?"},
        {105, "Opravdu chcete toto připojení odstranit?"},
        {106, "Došlo ke komunikační chybě. Opakovat komunikaci?"},
        {107, "Nebylo zadáno žádné číslo příjemce."},
        {108, "Opravdu chcete odstranit všechny SMS v seznamu?"},
        {109, "Opravdu chcete vybrané SMS odstranit?"},
        {110, "Soubor již existuje. Chcete jej přepsat (ano), nebo pokračovat v zápisu (ne)?"},
        {111, "Nejsou žádné SMS k odeslání."},
        {112,
         "Seznam připojení je plný (100 položek). Odstraňte nepotřebné připojení "
         "v nastavení komunikace."},
        {113,
         "Název komunikačního portu může mít nejvýše 16 znaků, víc jich nastavení programu neuloží. Zvolte port "
         "ze seznamu (např. ttyUSB0), nebo si pro adaptér vytvořte krátký odkaz pravidlem udev, např. "
         "/dev/vantrix."},
        {114,
         "Přijatou SMS se nepodařilo uložit do souboru SMS.dat. Zůstává v zařízení a načítání SMS "
         "bylo ukončeno."},
        {115, "Změny seznamů SMS se nepodařilo uložit do souboru SMS.dat."},
        {116, "Nastavení se nepodařilo uložit do adresáře Data."},
        {117,
         "K portu nemáte přístupová práva. Přidejte se do skupiny, které port patří, a přihlaste se "
         "znovu: "},
        {118, "K portu nemáte přístupová práva."},
        {119, "Port v počítači není. Nalezené porty: "},
        {120, "Port v počítači není a žádný sériový port nebyl nalezen."},
        {121, "Port právě používá jiný program."},
        {122,
         "Vantrix Control Panel už běží a pracuje se stejnými daty (%s). Použijte jeho okno; druhá "
         "kopie se ukončí."},
        {123, "grafický displej není k dispozici (DISPLAY, WAYLAND_DISPLAY): program běží jen v grafickém prostředí."},
        {124, "sériové číslo "},
        {200, "Nastala chyba sériové komunikace."},
        {201, "Nepodařilo se otevřít komunikační port."},
        {202, "Vypršel komunikační timeout."},
        {203, "Komunikace byla přerušena uživatelem."},
        {204, "Chybné CRC."},
        {205, "Chybný potvrzující kód."},
        {206, "Zařízení není podporováno."},
        {207, "Chybná odpověď."},
        {208, "Nepodařilo se navázat spojení."},
        {209, "Přístup odepřen - přístup zablokován."},
        {210, "Přístup odepřen - neplatný PIN."},
        {211, "SMS se nepodařilo odeslat."},
        {212, "Chyba AT komunikace."},
        {213, "Nedefinovaná odpověď na AT příkaz."},
        {300, "Připojení Vantrix k PC."},
        {301, "Odpojení Vantrix od PC."},
        {302, "Zápis konfiguračních dat."},
        {303, "Načítání konfiguračních dat."},
        {304, "Načítání aktuálního stavu Vantrix."},
        {305, "Nastavení binárních výstupů."},
        {306, "Nastavení času."},
        {307, "Odesílání SMS."},
        {308, "Načítání SMS."},
        {309, "Načítání nastavení GPRS přístupového bodu."},
        {310, "Zápis nastavení GPRS přístupového bodu."},
        {399, "Zadávání komunikačního příkazu, prosím čekejte."},
        {400, "neaktivní"},
        {401, "klidový stav"},
        {402, "příchozí hovor"},
        {403, "spojování hovoru"},
        {404, "spojený hovor"},
        {420, "nespecifikovaný stav"},
        {421, "není přítomná"},
        {422, "OK"},
        {423, "vyžadován PIN"},
        {424, "vyžadován PIN2"},
        {425, "vyžadován PUK"},
        {426, "chybný PIN"},
        {440, "vyhledávání"},
        {441, "OK"},
        {442, "registrace odmítnuta"},
        {443, "neznámý"},
        {444, "roaming"},
        {500, "(nenalezeno)"},
        {501, "Modem je právě používán pro spojení."},
        {502, "Modem nelze otevřít."},
        {503, "Modem neodpověděl."},
    };
    return table;
}

}  // namespace

const char* LoadStr(int id) {
    auto it = Table().find(id);
    return it == Table().end() ? "" : it->second;
}

std::string FileFilter(int firstFilterId) {
    return std::string(LoadStr(firstFilterId)) + "|" + LoadStr(IDS_FILTER_ALL);
}
