<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>Der Updater-Befehl [%1] ist unbekannt.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>Das Befehlszeilenargument [%1] ist unbekannt.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Der Aktualisierungsmodus [%1] ist unbekannt.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>Der Befehl [%1] ist im Aktualisierungsmodus [%2] nicht zulässig.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>Der Aktualisierungsmodus [%1] benötigt eine Quelldatei zum Herunterladen.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>Der Aktualisierungsmodus [%1] benötigt einen Zielpfad zum Herunterladen der Datei.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>Der Interaktionsmodus [%1] des Updaters ist unbekannt.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Diese Befehlszeilenargumente dürfen nicht gleichzeitig verwendet werden.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Ungültiger Dateipfad: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>Ungültige URL: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Ungültiger Port: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Proxy-Port ohne URL des Proxyservers angegeben.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Ungültiges Datums- und Zeitformat: Es muss RFC 822 entsprechen, z. B. „Wed, 02 Jun 2013 14:33:09 GMT“</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Um nach Updates für %1 zu suchen, müssen Sie die URL der Update-Beschreibungsdatei angeben oder, wenn diese Datei lokal gespeichert ist, ihren Pfad.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da der angegebene Download-Ordner nicht existiert.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da Sie keine Zugriffsrechte für den Download-Ordner haben.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da Corvantis Updater den freien Speicherplatz für das Herunterladen der Updates nicht ermitteln kann.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da nicht genügend freier Speicherplatz vorhanden ist.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Sie haben bereits die neueste Version der Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Dieses Update kann nicht installiert werden.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Bereit zum Herunterladen</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Heruntergeladen</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Installation abgebrochen</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Download abgebrochen</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da beim Lesen der Konfigurationsdatei von Corvantis Updater ein Fehler aufgetreten ist.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Die Aktualisierung ist fehlgeschlagen, da beim Lesen der Update-Beschreibungsdatei ein Fehler aufgetreten ist.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Die Datei „%1“ wurde nicht vollständig heruntergeladen.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Die Datei
%1 kann nicht in %2 gespeichert werden.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Es kann keine Verbindung zur Update-Website von Corvantis hergestellt werden.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Die Datei %1 wurde nicht heruntergeladen, da sie bereits aktuell ist.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Die Proxy-Authentifizierung ist fehlgeschlagen.</translation>
    </message>
</context>
</TS>
