#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace tidyfold::app {

namespace {

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QCoreApplication::translate("tidyfold", "Show this help and end.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QCoreApplication::translate("tidyfold", "Show the version and end.")};
    QCommandLineOption clean{QStringLiteral("clean"),
                             QCoreApplication::translate("tidyfold",
                                                         "Clean the Desktop once with the saved options, "
                                                         "as the Clean Desktop button does.")};
    QCommandLineOption cleanUnpacked{QStringLiteral("clean-unpacked"),
                                     QCoreApplication::translate("tidyfold",
                                                                 "Remove folders unpacked beside their archives, "
                                                                 "as Clean Uncompressed Folders does.")};
    QCommandLineOption removeEmpty{QStringLiteral("remove-empty"),
                                   QCoreApplication::translate("tidyfold",
                                                               "Remove the Desktop's empty folders, "
                                                               "as Remove Empty Folders does.")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QCoreApplication::translate("tidyfold",
                                                         "Print only errors, and show a desktop notification when "
                                                         "files were moved or could not be (for automatic runs).")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QCoreApplication::translate("tidyfold",
                                                          "Print what the operations would do, one line per "
                                                          "action, and change nothing at all.")};
};

void Describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(QCoreApplication::translate(
        "tidyfold",
        "Keeps the Desktop clean: offloads files not used for some days.\n"
        "Without options, opens the window.\n\n"
        "Exit status: 0 when everything asked was done; 1 when not everything\n"
        "was (files that could not be transferred, a stopped run, a failure\n"
        "part-way, output that could not be written); 2 when it could not run.\n"
        "See 'man tidyfold'."));
    parser.addOptions({options.help, options.version, options.clean, options.cleanUnpacked, options.removeEmpty,
                       options.quiet, options.dryRun});
}

}  // namespace

Request ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options options;
    Describe(parser, options);
    Request request;
    const bool parsed = parser.parse(arguments);
    request.help = parser.isSet(options.help);
    request.version = parser.isSet(options.version);
    request.clean = parser.isSet(options.clean);
    request.cleanUnpacked = parser.isSet(options.cleanUnpacked);
    request.removeEmpty = parser.isSet(options.removeEmpty);
    request.quiet = parser.isSet(options.quiet);
    request.dryRun = parser.isSet(options.dryRun);
    if (!parsed) {
        request.error = parser.errorText();
        request.unknownOnly = !parser.unknownOptionNames().isEmpty();
    } else if (!parser.positionalArguments().isEmpty()) {
        request.error = QCoreApplication::translate("tidyfold", "Unexpected argument '%1'.")
                            .arg(parser.positionalArguments().constFirst());
    } else if (request.quiet && !request.AnyOperation()) {
        request.error = QCoreApplication::translate("tidyfold",
                                                    "--quiet goes with --clean, --clean-unpacked or --remove-empty.");
    } else if (request.dryRun && !request.AnyOperation()) {
        request.error = QCoreApplication::translate(
            "tidyfold", "--dry-run goes with --clean, --clean-unpacked or --remove-empty.");
    } else if (request.dryRun && request.quiet) {
        // A quiet run is an automatic one, which acts; a dry run only tells.
        request.error = QCoreApplication::translate("tidyfold", "--dry-run and --quiet do not go together.");
    }
    return request;
}

QString HelpText() {
    QCommandLineParser parser;
    const Options options;
    Describe(parser, options);
    // The usage line names the program as a person types it, not the path it
    // was started by.
    QString text = parser.helpText();
    const qsizetype end = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && end > 0)
        text.replace(7, end - 7, QStringLiteral("tidyfold"));
    return text;
}

QString VersionText() {
    return QStringLiteral("tidyfold %1.%2.%3")
        .arg(TIDYFOLD_VERSION_MAJOR)
        .arg(TIDYFOLD_VERSION_MINOR)
        .arg(TIDYFOLD_VERSION_PATCH);
}

}  // namespace tidyfold::app
