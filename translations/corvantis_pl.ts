<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>Polecenie [%1] programu aktualizującego jest nieznane.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>Argument wiersza poleceń [%1] jest nieznany.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Tryb aktualizacji [%1] jest nieznany.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>Polecenie [%1] jest niedozwolone w trybie aktualizacji [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>Tryb aktualizacji [%1] wymaga podania pliku źródłowego do pobrania.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>Tryb aktualizacji [%1] wymaga podania ścieżki docelowej, pod którą zostanie zapisany pobierany plik.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>Tryb interakcji [%1] programu aktualizującego jest nieznany.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Tych argumentów wiersza poleceń nie można używać jednocześnie.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Nieprawidłowa ścieżka pliku: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>Nieprawidłowy adres URL: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Nieprawidłowy port: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Podano port serwera proxy bez adresu URL serwera proxy.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Nieprawidłowy format daty i godziny: wymagany jest format RFC 822, np. „Wed, 02 Jun 2013 14:33:09 GMT”</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Aby sprawdzić dostępność aktualizacji produktu %1, należy podać adres URL pliku opisu aktualizacji lub, jeśli plik ten jest przechowywany lokalnie, ścieżkę do niego.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Aktualizacja nie powiodła się, ponieważ wskazany folder pobierania nie istnieje.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Aktualizacja nie powiodła się, ponieważ nie masz uprawnień dostępu do folderu pobierania.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Aktualizacja nie powiodła się, ponieważ Corvantis Updater nie może ustalić ilości wolnego miejsca na pobranie aktualizacji.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Aktualizacja nie powiodła się, ponieważ na dysku brakuje wolnego miejsca.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Masz już najnowszą wersję Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Nie można zainstalować tej aktualizacji.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Gotowa do pobrania</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Zainstalowana</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Pobrana</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Instalacja anulowana</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Pobieranie anulowane</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Nieznany</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Aktualizacja nie powiodła się z powodu błędu odczytu pliku konfiguracji Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Aktualizacja nie powiodła się z powodu błędu odczytu pliku opisu aktualizacji.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Plik „%1” nie został pobrany w całości.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Nie można zapisać pliku
%1 w folderze %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Nie można połączyć się z witryną aktualizacji Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Plik %1 nie został pobrany, ponieważ jest już aktualny.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Uwierzytelnianie na serwerze proxy nie powiodło się.</translation>
    </message>
</context>
</TS>
