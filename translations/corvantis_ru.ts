<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>Команда программы обновления [%1] неизвестна.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>Аргумент командной строки [%1] неизвестен.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Режим обновления [%1] неизвестен.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>Команда [%1] недопустима в режиме обновления [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>Для режима обновления [%1] нужно указать исходный файл для загрузки.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>Для режима обновления [%1] нужно указать путь, по которому будет сохранён загружаемый файл.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>Интерактивный режим программы обновления [%1] неизвестен.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Эти аргументы командной строки нельзя использовать одновременно.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Недопустимый путь к файлу: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>Недопустимый URL-адрес: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Недопустимый порт: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Указан порт прокси-сервера, но не указан URL-адрес прокси-сервера.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Неверный формат даты и времени: требуется формат RFC 822, например «Wed, 02 Jun 2013 14:33:09 GMT»</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Чтобы проверить наличие обновлений для %1, укажите URL-адрес файла описания обновлений или, если этот файл хранится локально, путь к нему.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Не удалось выполнить обновление: указанная папка загрузки не существует.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Не удалось выполнить обновление: у вас нет прав доступа к папке загрузки.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Не удалось выполнить обновление: Corvantis Updater не может определить объём свободного места для загрузки обновлений.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Не удалось выполнить обновление: недостаточно свободного места на диске.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>У вас уже установлена последняя версия Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Это обновление невозможно установить.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Доступно для загрузки</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Установлено</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Загружено</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Установка отменена</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Загрузка отменена</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Неизвестно</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Не удалось выполнить обновление: ошибка при чтении файла конфигурации Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Не удалось выполнить обновление: ошибка при чтении файла описания обновлений.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>Файл «%1» загружен не полностью.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Не удалось сохранить файл
%1 в папке %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Не удалось подключиться к сайту обновлений Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>Файл %1 не загружен, так как он уже актуален.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Ошибка аутентификации на прокси-сервере.</translation>
    </message>
</context>
</TS>
