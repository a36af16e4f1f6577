#include "app/Views/LegalDocument.hpp"

#include <QCoreApplication>

namespace brisvane {

namespace {

// Written for this application: what it reads, what it changes, and that nothing leaves the
// machine except text sent to a VOICEVOX engine on the same machine.
const char kTermsJapanese[] = R"(Brisvane 利用規約
最終更新日: 2026年12月10日
版: 1.0

第1条（適用）
本規約は、Brisvane（以下「本アプリ」）の利用に関する条件を定めるものです。本アプリを利用した時点で、利用者は本規約に同意したものとみなします。

第2条（本アプリの内容）
本アプリは、利用者のコンピューター上で複数のターミナルとコマンドラインのコーディングエージェント（claude）を並べて表示し、その状態・使用量の表示と音声による通知を行うデスクトップアプリケーションです。

第3条（利用者のファイルへの変更）
1. 本アプリは、利用者が画面上で導入を選んだ場合に限り、エージェントの設定ファイル（~/.claude/settings.json）とメモリーファイル（~/.claude/CLAUDE.md）に本アプリ用の項目を追加し、または取り除きます。
2. 変更の前には同じ場所にバックアップを作成します。本アプリがバックアップを削除することはありません。
3. 読み取れないファイルや形式の壊れたファイルは変更しません。

第4条（ターミナル）
本アプリのターミナルでは、利用者のログインシェルが利用者の権限で動作します。そこで実行されるコマンドとその結果については、利用者が責任を負います。

第5条（外部のソフトウェア）
claude や VOICEVOX など本アプリ以外のソフトウェアの利用には、それぞれの提供者が定める規約が適用されます。本アプリはそれらのソフトウェアの動作を保証しません。

第6条（無保証）
本アプリは現状のまま提供され、特定の目的への適合性、正確性、継続的な動作を含め、明示または黙示を問わず一切の保証を行いません。

第7条（責任の制限）
本アプリの利用または利用できなかったことにより生じた損害について、開発者は法令上許される範囲で責任を負いません。

第8条（規約の変更）
本規約を変更した場合は、新しい版を本アプリの中で示し、改めて同意をお願いします。

附則
本規約は2026年12月10日から適用します。)";

const char kTermsEnglish[] = R"(Brisvane Terms of Service
Last updated: December 10, 2026
Version: 1.0

1. Scope
These terms govern your use of Brisvane ("the app"). By using the app you agree to them.

2. What the app does
The app is a desktop application that shows several terminals and command-line coding agents (claude) side by side on your computer, shows their status and usage, and announces events by voice.

3. Changes to your files
(1) Only when you choose to install an integration on screen, the app adds its own entries to, or removes them from, the agent's settings file (~/.claude/settings.json) and memory file (~/.claude/CLAUDE.md).
(2) Before every change it writes a backup next to the file. The app never deletes these backups.
(3) A file that cannot be read or is not well formed is never changed.

4. Terminals
The terminals of the app run your login shell with your own permissions. You are responsible for the commands you run there and their results.

5. Other software
Software other than the app, such as claude or VOICEVOX, is governed by the terms of its own provider. The app does not warrant how that software works.

6. No warranty
The app is provided as is, without warranty of any kind, express or implied, including fitness for a particular purpose, accuracy and uninterrupted operation.

7. Limitation of liability
To the extent permitted by law, the developers are not liable for any damage arising from the use of the app or the inability to use it.

8. Changes to these terms
When these terms change, the app shows the new version and asks for your agreement again.

These terms take effect on December 10, 2026.)";

const char kPrivacyJapanese[] = R"(Brisvane プライバシーポリシー
最終更新日: 2026年12月10日
版: 1.0

1. 基本方針
本アプリは、利用者の情報を外部のサーバーへ送信しません。すべての処理は利用者のコンピューターの中で行われます。

2. 読み取る情報
本アプリは、状態と使用量を表示するために、エージェントのホームフォルダー（~/.claude）にあるセッション情報、会話の記録、統計、設定ファイルを読み取ります。また、ターミナルで動作しているプロセスとその作業フォルダーをシステムから読み取ります。

3. 書き込む情報
(1) 本アプリの設定（音声通知、読み辞書、表示、同意の記録など）は、利用者のホームフォルダー内の本アプリの設定ファイルに保存します。
(2) 利用者が導入を選んだ場合に限り、エージェントの設定ファイル（~/.claude/settings.json）とメモリーファイル（~/.claude/CLAUDE.md）を変更し、変更前のバックアップを同じ場所に作成します。
(3) 導入したスクリプトは、本アプリのデータフォルダー（~/.local/share/Brisvane）に配置します。

4. 外部への送信
本アプリが通信する相手は、同じコンピューターの 127.0.0.1 で動作する VOICEVOX エンジンだけです。VOICEVOX の声を選んだ場合に、読み上げる文章（プロジェクト名や作業の要約を含みます）をそのエンジンへ送ります。それ以外の情報がコンピューターの外へ出ることはありません。

5. 解析・広告
本アプリは利用状況の解析、広告、トラッキングを行いません。

6. 情報の削除
本アプリの設定とデータは、上記の設定ファイルとデータフォルダーを削除することで消去できます。エージェントのファイルに加えた項目は、設定の「連携」タブから撤去できます。

7. 改定
本ポリシーを改定した場合は、新しい版を本アプリの中で示します。

附則
本ポリシーは2026年12月10日から適用します。)";

const char kPrivacyEnglish[] = R"(Brisvane Privacy Policy
Last updated: December 10, 2026
Version: 1.0

1. Principle
The app sends none of your information to any outside server. Everything happens on your own computer.

2. What the app reads
To show status and usage, the app reads the session files, conversation transcripts, statistics and settings file in the agent's home folder (~/.claude). It also reads from the system which processes run in its terminals and their working folders.

3. What the app writes
(1) The app's own settings (announcements, reading dictionary, display, the record of your agreement and so on) are stored in the app's settings file in your home folder.
(2) Only when you choose to install an integration, the app changes the agent's settings file (~/.claude/settings.json) and memory file (~/.claude/CLAUDE.md), and writes a backup of each before the change next to it.
(3) The installed scripts are placed in the app's data folder (~/.local/share/Brisvane).

4. What leaves the app
The only peer the app talks to is a VOICEVOX engine running on the same computer at 127.0.0.1. When you choose a VOICEVOX voice, the text to be spoken (which may include project names and summaries of work) is sent to that engine. No other information leaves your computer.

5. Analytics and advertising
The app does no usage analytics, advertising or tracking.

6. Deleting your information
The app's settings and data go away when you delete the settings file and data folder named above. The entries added to the agent's files can be removed from the Integration tab of the settings.

7. Changes
When this policy changes, the app shows the new version.

This policy takes effect on December 10, 2026.)";

} // namespace

const QList<LegalDocument>& allLegalDocuments()
{
    static const QList<LegalDocument> documents{LegalDocument::terms, LegalDocument::privacy};
    return documents;
}

QString rawValue(LegalDocument document)
{
    return document == LegalDocument::terms ? QStringLiteral("terms") : QStringLiteral("privacy");
}

QString label(LegalDocument document)
{
    return document == LegalDocument::terms ? QCoreApplication::translate("LegalDocument", "利用規約")
                                            : QCoreApplication::translate("LegalDocument", "プライバシーポリシー");
}

QString legalText(LegalDocument document, bool isJapaneseLocale)
{
    if (document == LegalDocument::terms)
        return QString::fromUtf8(isJapaneseLocale ? kTermsJapanese : kTermsEnglish);
    return QString::fromUtf8(isJapaneseLocale ? kPrivacyJapanese : kPrivacyEnglish);
}

} // namespace brisvane
