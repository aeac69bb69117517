<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>Příkaz aktualizačního programu [%1] je neznámý.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>Argument příkazového řádku [%1] je neznámý.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Režim aktualizace [%1] je neznámý.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>Příkaz [%1] není v režimu aktualizace [%2] povolen.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>Režim aktualizace [%1] vyžaduje zdrojový soubor ke stažení.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>Režim aktualizace [%1] vyžaduje cílovou cestu, kam se má soubor stáhnout.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>Interaktivní režim aktualizačního programu [%1] je neznámý.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Tyto argumenty příkazového řádku nelze použít současně.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Neplatná cesta k souboru: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>Neplatná adresa URL: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Neplatný port: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Byl zadán port proxy serveru bez adresy URL proxy serveru.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Nesprávný formát data a času: musí odpovídat RFC 822, např. „Wed, 02 Jun 2013 14:33:09 GMT“</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Chcete-li vyhledat aktualizace produktu %1, musíte zadat adresu URL souboru s popisem aktualizací, nebo cestu k němu, je-li tento soubor uložen místně.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Aktualizace se nezdařila, protože zadaná složka pro stahování neexistuje.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Aktualizace se nezdařila, protože nemáte oprávnění k přístupu do složky pro stahování.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Aktualizace se nezdařila, protože Corvantis Updater nemůže zjistit, kolik volného místa je k dispozici pro stažení aktualizací.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Aktualizace se nezdařila, protože na disku není dostatek volného místa.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Již máte nejnovější verzi Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Tuto aktualizaci nelze nainstalovat.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Připravena ke stažení</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Nainstalována</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Stažena</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Instalace zrušena</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Stahování zrušeno</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Neznámý</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Aktualizace se nezdařila kvůli chybě při čtení konfiguračního souboru Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Aktualizace se nezdařila kvůli chybě při čtení souboru s popisem aktualizací.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Soubor „%1“ nebyl stažen úplně.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Soubor
%1 nelze uložit do složky %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Nelze se připojit k webu aktualizací Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Soubor %1 nebyl stažen, protože je již aktuální.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Ověření na proxy serveru se nezdařilo.</translation>
    </message>
</context>
</TS>
