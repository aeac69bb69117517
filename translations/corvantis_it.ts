<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>Il comando [%1] del programma di aggiornamento è sconosciuto.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>L&apos;argomento della riga di comando [%1] è sconosciuto.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>La modalità di aggiornamento [%1] è sconosciuta.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>Il comando [%1] non è consentito nella modalità di aggiornamento [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>La modalità di aggiornamento [%1] richiede un file di origine da scaricare.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>La modalità di aggiornamento [%1] richiede un percorso di destinazione in cui scaricare il file.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>La modalità interattiva [%1] del programma di aggiornamento è sconosciuta.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Questi argomenti della riga di comando non possono essere usati insieme.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Percorso del file non valido: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>URL non valido: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Porta non valida: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>È stata indicata una porta proxy senza l&apos;URL del server proxy.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Formato di data e ora non corretto: deve essere conforme a RFC 822, ad esempio «Wed, 02 Jun 2013 14:33:09 GMT»</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Per cercare gli aggiornamenti di %1 è necessario specificare l&apos;URL del file di descrizione degli aggiornamenti oppure, se il file è memorizzato localmente, il suo percorso.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Aggiornamento non riuscito: la cartella di download specificata non esiste.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Aggiornamento non riuscito: non si dispone dei permessi di accesso alla cartella di download.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Aggiornamento non riuscito: Corvantis Updater non riesce a determinare lo spazio libero disponibile per scaricare gli aggiornamenti.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Aggiornamento non riuscito: lo spazio libero su disco non è sufficiente.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>È già installata la versione più recente di Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Impossibile installare questo aggiornamento.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Pronto per il download</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installato</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Scaricato</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Installazione annullata</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Download annullato</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Sconosciuto</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Aggiornamento non riuscito: errore durante la lettura del file di configurazione di Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Aggiornamento non riuscito: errore durante la lettura del file di descrizione degli aggiornamenti.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Il file «%1» non è stato scaricato completamente.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Impossibile salvare il file
%1 in %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Impossibile connettersi al sito degli aggiornamenti di Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Il file %1 non è stato scaricato perché è già aggiornato.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Autenticazione proxy non riuscita.</translation>
    </message>
</context>
</TS>
