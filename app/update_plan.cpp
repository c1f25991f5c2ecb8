#include "app/update_plan.h"

#include <cstdint>

#include "app/transfer_meter.h"

namespace app {

using core::json::Value;

namespace {

struct FileCounts {
    int added = 0, replaced = 0;
    std::int64_t addedBytes = 0, replacedBytes = 0;
};

FileCounts countFiles(const std::vector<host::MergeEntry>& files) {
    FileCounts c;
    for (const host::MergeEntry& f : files) {
        if (f.replaces) {
            ++c.replaced;
            c.replacedBytes += f.bytes;
        } else {
            ++c.added;
            c.addedBytes += f.bytes;
        }
    }
    return c;
}

Value entryJson(const host::ServiceEntry& e) {
    Value v = Value::object();
    const bool service = e.kind == host::ServiceKind::Service;
    v.set("kind", service ? "service" : "program");
    v.set("name", service ? Value(e.serviceName) : Value());
    v.set("image", e.imageName);
    return v;
}

}  // namespace

Value PlanJson(const UpdatePlan& plan) {
    Value v = Value::object();
    v.set("format", kPlanFormat);
    v.set("formatVersion", kPlanFormatVersion);
    v.set("installation", plan.installation);
    v.set("newVersion", plan.newVersion);
    v.set("verification", plan.verified ? "verified" : "not verified");
    Value companies = Value::array();
    for (const CompanyPlan& c : plan.companies) {
        Value cv = Value::object();
        cv.set("schema", c.schema);
        cv.set("name", c.name.empty() ? Value() : Value(c.name));
        cv.set("version", c.action == "skipped" ? Value() : Value(c.version));
        cv.set("serverTrigger", c.serverTrigger);
        cv.set("clientTrigger", c.clientTrigger);
        cv.set("action", c.action);
        cv.set("reason", c.reason.empty() ? Value() : Value(c.reason));
        Value scripts = Value::array();
        for (const ScriptChoice& s : c.scripts) {
            Value sv = Value::object();
            sv.set("name", s.name());
            sv.set("version", s.version);
            sv.set("kind", s.kind);
            scripts.push(std::move(sv));
        }
        cv.set("scripts", std::move(scripts));
        companies.push(std::move(cv));
    }
    v.set("companies", std::move(companies));
    v.set("surveyEnded", plan.surveyEnded.empty() ? Value() : Value(plan.surveyEnded));
    Value list = Value::array();
    for (const std::string& s : plan.scriptList) list.push(s);
    v.set("scriptList", std::move(list));

    const FileCounts counts = countFiles(plan.files);
    Value files = Value::object();
    files.set("added", counts.added);
    files.set("addedBytes", counts.addedBytes);
    files.set("replaced", counts.replaced);
    files.set("replacedBytes", counts.replacedBytes);
    Value fileList = Value::array();
    for (const host::MergeEntry& f : plan.files) {
        Value fv = Value::object();
        fv.set("path", f.path);
        fv.set("bytes", f.bytes);
        fv.set("action", f.replaces ? "replace" : "add");
        fileList.push(std::move(fv));
    }
    files.set("list", std::move(fileList));
    files.set("backup", plan.backup);
    v.set("files", std::move(files));
    v.set("unfinishedInstall", plan.unfinishedInstall);

    Value stop = Value::array();
    Value restart = Value::array();
    for (std::size_t i = 0; i < host::ServiceTable.size(); ++i) {
        if (!plan.running[i]) continue;
        stop.push(entryJson(host::ServiceTable[i]));
        if (host::ServiceTable[i].kind == host::ServiceKind::Service)
            restart.push(entryJson(host::ServiceTable[i]));
    }
    v.set("stop", std::move(stop));
    v.set("restart", std::move(restart));
    return v;
}

std::vector<std::string> PlanText(const UpdatePlan& plan) {
    std::vector<std::string> lines;
    lines.push_back("Piano di aggiornamento a " + plan.newVersion + " di " + plan.installation +
                    (plan.verified ? " (verificato)" : " (non verificato)"));
    lines.push_back("Ditte:");
    for (const CompanyPlan& c : plan.companies) {
        std::string head = "  " + c.schema + (c.name.empty() ? "" : " (" + c.name + ")");
        if (c.action == "skipped") {
            lines.push_back(head + ": saltata (" + c.reason + ")");
            continue;
        }
        head += " versione " + (c.version.empty() ? std::string("(vuota)") : c.version);
        if (c.serverTrigger) head += ", TRI(server)";
        if (c.clientTrigger) head += ", TRI(client)";
        if (c.action == "duplicate") {
            lines.push_back(head + ": già aggiornata con una riga precedente");
        } else if (c.scripts.empty()) {
            lines.push_back(head + ": nessuno script");
        } else {
            lines.push_back(head + ": " + std::to_string(c.scripts.size()) + " script");
            for (const ScriptChoice& s : c.scripts) lines.push_back("    " + s.name());
        }
    }
    if (plan.companies.empty()) lines.push_back("  nessuna ditta");
    if (!plan.surveyEnded.empty())
        lines.push_back("  elenco ditte interrotto (" + plan.surveyEnded + ")");
    const FileCounts counts = countFiles(plan.files);
    lines.push_back("File: " + std::to_string(counts.added) + " aggiunti (" +
                    FormatBytes(counts.addedBytes) + "), " + std::to_string(counts.replaced) +
                    " sostituiti (" + FormatBytes(counts.replacedBytes) + ")");
    std::string stop;
    for (std::size_t i = 0; i < host::ServiceTable.size(); ++i) {
        if (!plan.running[i]) continue;
        const host::ServiceEntry& e = host::ServiceTable[i];
        stop += (stop.empty() ? "" : ", ") +
                std::string(e.kind == host::ServiceKind::Service ? e.serviceName : e.imageName);
    }
    lines.push_back("Da fermare: " + (stop.empty() ? std::string("niente") : stop));
    lines.push_back("Copia di riserva dei file sostituiti: " + plan.backup);
    if (plan.unfinishedInstall)
        lines.push_back(
            "Installazione interrotta in sospeso: il prossimo aggiornamento la completa o la "
            "annulla prima di tutto");
    return lines;
}

}  // namespace app
