#include "app/Views/OnboardingWelcomeSteps.hpp"

#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingComponents.hpp"
#include "app/Views/OnboardingView.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace brisvane::OnboardingSteps {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(OnboardingSteps)
};

} // namespace

QWidget* welcomeStep(OnboardingView&)
{
    using namespace OnboardingComponents;
    auto* step = new QWidget;
    QVBoxLayout* stack = makeStepLayout(*step);
    stack->addWidget(
        makeLeadText(Text::tr("Brisvaneは、複数のClaude Codeセッションを1画面で見渡す「管制室」です。"), 13));
    stack->addWidget(bulletRow(QStringLiteral("square.grid.2x2"), Text::tr("本物のターミナルをタイルで並べられる"),
                               Text::tr("各タイルは実際のターミナル。1×1〜3×2までレイアウトを選べ、"
                                        "ドラッグで並べ替え・ページ切り替えができます。")));
    stack->addWidget(bulletRow(QStringLiteral("gauge.with.dots.needle.67percent"), Text::tr("状態が一目でわかる"),
                               Text::tr("実行中／確認待ち／アイドルを色で表示し、"
                                        "画面上部にプラン使用率（5時間・7日）も出ます。")));
    stack->addWidget(bulletRow(QStringLiteral("speaker.wave.2"), Text::tr("完了・確認待ちを音声で知らせる"),
                               Text::tr("タスクが終わった・確認が必要になったとき、システム標準またはVOICEVOXの声で"
                                        "読み上げます（あとから声もON/OFFも変更できます）。")));
    return step;
}

// On Linux nothing asks the user for permission: the question is whether the user's own file
// permissions let Brisvane read ~/.claude. The step keeps its shape and says that instead.
QWidget* accessExplanationStep(OnboardingView&)
{
    using namespace OnboardingComponents;
    auto* step = new QWidget;
    QVBoxLayout* stack = makeStepLayout(*step);
    stack->addWidget(makeSymbolLabel(QStringLiteral("exclamationmark.shield"),
                                     Text::tr("Brisvaneは ~/.claude を読み取れる必要があります"),
                                     DashboardStyle::font(12, QFont::DemiBold), orange()));
    stack->addWidget(makeMarkdownLeadText(
        Text::tr("Brisvaneは、Claude Codeというツールがユーザー自身のコンピューター上に書き出す情報を読むことで"
                 "動作します。そのため、~/.claude とその中のファイルを、Brisvaneを実行しているユーザーが"
                 "読み取れる必要があります。**ファイルの権限で読み取りが拒まれていると、Brisvaneはセッションの状態を"
                 "表示できません**（その場合は権限を手動で直す必要があります）。"
                 "先にここで何を読み・何を読まないかをご確認ください。")));
    stack->addWidget(accessFactRow(
        QStringLiteral("checkmark.circle"), green(), Text::tr("読み取るもの"),
        Text::tr("~/.claude 配下のセッション情報（実行中／確認待ち等の状態、使用中のモデル名、使用量）のみ")));
    stack->addWidget(accessFactRow(QStringLiteral("xmark.circle"), red(), Text::tr("絶対に読み取らないもの"),
                                   Text::tr("OAuthトークン・キーリング・~/.claude/.credentials.json "
                                            "等の認証情報ファイルには一切アクセスしません")));
    stack->addWidget(accessFactRow(QStringLiteral("network.slash"), blue(), Text::tr("送信先"),
                                   Text::tr("どこにも送信しません。通信するのは、読み上げる文章をこのコンピューターの中"
                                            "（127.0.0.1）で動くVOICEVOXエンジンへ渡すときだけで、"
                                            "データがこのコンピューターの外へ出ることはありません")));
    stack->addWidget(
        accessFactRow(QStringLiteral("arrow.uturn.backward"), yellow(), Text::tr("読み取れない場合"),
                      Text::tr("セッション一覧・状態表示・プラン使用率ゲージ・音声通知が動作しなくなります。"
                               "読み取れるようにするには、~/.claude とその中のファイルの権限を直す必要が"
                               "あります（このアプリの中に、そのための案内も出ます）")));
    stack->addWidget(makeCaption(Text::tr("Linuxでは確認ダイアログは表示されません。~/.claude を読み取れないときは、"
                                          "画面上部の通知でお知らせします。")));
    return step;
}

} // namespace brisvane::OnboardingSteps
