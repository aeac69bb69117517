<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>La commande [%1] du programme de mise à jour est inconnue.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>L&apos;argument de ligne de commande [%1] est inconnu.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Le mode de mise à jour [%1] est inconnu.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>La commande [%1] n&apos;est pas autorisée pour le mode de mise à jour [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>Le mode de mise à jour [%1] nécessite un fichier source à télécharger.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>Le mode de mise à jour [%1] nécessite un chemin de destination pour télécharger le fichier.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>Le mode d&apos;interaction [%1] du programme de mise à jour est inconnu.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Ces arguments de ligne de commande ne peuvent pas être utilisés simultanément.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Chemin de fichier non valide&#xa0;: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>URL non valide&#xa0;: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Port non valide&#xa0;: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Port de proxy indiqué sans l&apos;URL du serveur proxy.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Format de date et d&apos;heure incorrect&#xa0;: il doit respecter la RFC 822, par exemple «&#xa0;Wed, 02 Jun 2013 14:33:09 GMT&#xa0;»</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Pour rechercher les mises à jour de %1, vous devez indiquer l&apos;URL du fichier de description des mises à jour, ou son chemin si ce fichier est enregistré localement.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>La mise à jour a échoué car le dossier de téléchargement indiqué n&apos;existe pas.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>La mise à jour a échoué car vous n&apos;avez pas les droits d&apos;accès au dossier de téléchargement.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>La mise à jour a échoué car Corvantis Updater ne parvient pas à déterminer l&apos;espace libre disponible pour télécharger les mises à jour.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>La mise à jour a échoué car l&apos;espace disque disponible est insuffisant.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Vous disposez déjà de la dernière version de Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Cette mise à jour ne peut pas être installée.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Prête à télécharger</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installée</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Téléchargée</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Installation annulée</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Téléchargement annulé</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Inconnu</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>La mise à jour a échoué en raison d&apos;une erreur de lecture du fichier de configuration de Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>La mise à jour a échoué en raison d&apos;une erreur de lecture du fichier de description des mises à jour.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Le fichier «&#xa0;%1&#xa0;» n&apos;a pas été entièrement téléchargé.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Impossible d&apos;enregistrer le fichier
%1 dans %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Impossible de se connecter au site de mise à jour de Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Le fichier %1 n&apos;a pas été téléchargé car il est déjà à jour.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>L&apos;authentification auprès du proxy a échoué.</translation>
    </message>
</context>
</TS>
