<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>Updater command [%1] is unknown.</source>
        <translation>O comando [%1] do atualizador é desconhecido.</translation>
    </message>
    <message>
        <source>Updater command line argument [%1] is unknown.</source>
        <translation>O argumento de linha de comando [%1] é desconhecido.</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>O modo de atualização [%1] é desconhecido.</translation>
    </message>
    <message>
        <source>Illegal command [%1] for update mode [%2].</source>
        <translation>O comando [%1] não é permitido no modo de atualização [%2].</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a source file to download it.</source>
        <translation>O modo de atualização [%1] precisa de um arquivo de origem para baixar.</translation>
    </message>
    <message>
        <source>Update mode [%1] needs a target path to download the file.</source>
        <translation>O modo de atualização [%1] precisa de um caminho de destino para baixar o arquivo.</translation>
    </message>
    <message>
        <source>Updater interactive mode [%1] is unknown.</source>
        <translation>O modo interativo [%1] do atualizador é desconhecido.</translation>
    </message>
    <message>
        <source>Simultaneous usage of command line arguments is incorrect.</source>
        <translation>Esses argumentos de linha de comando não podem ser usados ao mesmo tempo.</translation>
    </message>
    <message>
        <source>Invalid file path: [%1]</source>
        <translation>Caminho de arquivo inválido: [%1]</translation>
    </message>
    <message>
        <source>Invalid URL: [%1]</source>
        <translation>URL inválida: [%1]</translation>
    </message>
    <message>
        <source>Invalid port: [%1]</source>
        <translation>Porta inválida: [%1]</translation>
    </message>
    <message>
        <source>Proxy port argument without proxy server URL.</source>
        <translation>Porta de proxy informada sem a URL do servidor proxy.</translation>
    </message>
    <message>
        <source>Incorrect date-time format: mus be RFC 822 e.g. &quot;Wed, 02 Jun 2013 14:33:09 GMT&quot;</source>
        <translatorcomment>Unclear source: &quot;mus&quot; is a typo for &quot;must&quot;, translated as &quot;must&quot;. The example date stays in English, as it is the exact form the option accepts.</translatorcomment>
        <translation>Formato de data e hora incorreto: deve seguir a RFC 822, por exemplo, “Wed, 02 Jun 2013 14:33:09 GMT”</translation>
    </message>
    <message>
        <source>To check for %1 updates, you must specify the URL to the updates description file or the path to it if this file is stored locally.</source>
        <translation>Para verificar se há atualizações do %1, informe a URL do arquivo de descrição de atualizações ou, se esse arquivo estiver armazenado localmente, o caminho dele.</translation>
    </message>
    <message>
        <source>Updating failed as the download folder you specified does not exist.</source>
        <translation>Falha na atualização: a pasta de download especificada não existe.</translation>
    </message>
    <message>
        <source>Updating failed as you don&apos;t have access permissions to the download folder.</source>
        <translation>Falha na atualização: você não tem permissão de acesso à pasta de download.</translation>
    </message>
    <message>
        <source>Updating failed as Corvantis Updater is unable to get the amount of free space to download updates.</source>
        <translation>Falha na atualização: o Corvantis Updater não conseguiu obter o espaço livre disponível para baixar as atualizações.</translation>
    </message>
    <message>
        <source>Updating failed as there is not enough free disk space.</source>
        <translation>Falha na atualização: não há espaço livre suficiente no disco.</translation>
    </message>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Você já tem a versão mais recente do Corvantis Software.</translation>
    </message>
    <message>
        <source>This update cannot be installed.</source>
        <translation>Não é possível instalar esta atualização.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Pronta para download</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Instalada</translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation>Baixada</translation>
    </message>
    <message>
        <source>Canceled Install</source>
        <translation>Instalação cancelada</translation>
    </message>
    <message>
        <source>Canceled Download</source>
        <translation>Download cancelado</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translatorcomment>Unclear on its own: taken as the status name of an update whose status code is not known (STATUS column of the update list).</translatorcomment>
        <translation>Desconhecido</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the Corvantis Updater configuration file.</source>
        <translation>Falha na atualização: ocorreu um erro ao ler o arquivo de configuração do Corvantis Updater.</translation>
    </message>
    <message>
        <source>Updating failed as there was an error reading the updates description file.</source>
        <translation>Falha na atualização: ocorreu um erro ao ler o arquivo de descrição de atualizações.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; was not downloaded completely.</source>
        <translation>O arquivo “%1” não foi baixado por completo.</translation>
    </message>
    <message>
        <source>Unable to save the file
%1 in %2.
%3</source>
        <translation>Não foi possível salvar o arquivo
%1 em %2.
%3</translation>
    </message>
    <message>
        <source>Unable to connect to the Corvantis Update site.</source>
        <translation>Não foi possível conectar ao site de atualizações da Corvantis.</translation>
    </message>
    <message>
        <source>The file %1 has not been downloaded because it is up to date.</source>
        <translatorcomment>Unclear: %1 is the URL of the file. The server reported that the file has not changed since the date given with --last-modified, so it was not downloaded again.</translatorcomment>
        <translation>O arquivo %1 não foi baixado porque já está atualizado.</translation>
    </message>
    <message>
        <source>Proxy authentication failed.</source>
        <translation>Falha na autenticação do proxy.</translation>
    </message>
</context>
</TS>
