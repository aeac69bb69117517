<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>El comando [%1] del actualizador es desconocido.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>El argumento de línea de comandos [%1] es desconocido.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>El modo de actualización [%1] es desconocido.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>El comando [%1] no está permitido en el modo de actualización [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>El modo de actualización [%1] requiere un archivo de origen para descargarlo.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>El modo de actualización [%1] requiere una ruta de destino para descargar el archivo.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>El modo interactivo [%1] del actualizador es desconocido.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Estos argumentos de línea de comandos no se pueden usar a la vez.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Ruta de archivo no válida: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>URL no válida: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Puerto no válido: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Se ha indicado un puerto de proxy sin la URL del servidor proxy.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Formato de fecha y hora incorrecto: debe ser RFC 822, por ejemplo, «Wed, 02 Jun 2013 14:33:09 GMT»</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Para buscar actualizaciones de %1, debe indicar la URL del archivo de descripción de actualizaciones o, si este archivo está guardado localmente, su ruta.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>La actualización ha fallado porque la carpeta de descarga indicada no existe.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>La actualización ha fallado porque no tiene permisos de acceso a la carpeta de descarga.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>La actualización ha fallado porque Corvantis Updater no puede determinar el espacio libre disponible para descargar las actualizaciones.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>La actualización ha fallado porque no hay suficiente espacio libre en el disco.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Ya tiene la versión más reciente de Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Esta actualización no se puede instalar.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Lista para descargar</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Instalada</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Descargada</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Instalación cancelada</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Descarga cancelada</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Desconocido</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>La actualización ha fallado porque se produjo un error al leer el archivo de configuración de Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>La actualización ha fallado porque se produjo un error al leer el archivo de descripción de actualizaciones.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>El archivo «%1» no se ha descargado por completo.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>No se puede guardar el archivo
%1 en %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>No se puede conectar con el sitio de actualizaciones de Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>El archivo %1 no se ha descargado porque ya está actualizado.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>La autenticación en el proxy ha fallado.</translation>
    </message>
</context>
</TS>
