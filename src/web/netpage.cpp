// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/netpage.h"

#include "store/htmltable.h"
#include "web/loggerdesk.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace rollcall::web {

using store::htmlEscape;

namespace {

QString afterLabel(const QString &line, QLatin1String label)
{
    const QString text = line.trimmed();
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0 || !text.left(colon).startsWith(label, Qt::CaseInsensitive))
        return {};
    return text.mid(colon + 1).trimmed();
}

QString optionLetters(const store::LoggedCheckIn &c)
{
    QString letters;
    const std::pair<bool, QChar> flags[] = { { c.emergency, u'E' }, { c.priority, u'P' },
        { c.traffic, u'R' }, { c.welfare, u'W' }, { c.informal, u'I' }, { c.inout, u'O' },
        { c.mm, u'F' }, { c.mobile, u'M' }, { c.qrp, u'T' } };
    for (const auto &[set, letter] : flags)
        if (set)
            letters += letter;
    return letters;
}

// The look of every page: one column under 600 px, large type with ?big.
const char kStyle[] = R"(<style>
body{font-family:sans-serif;margin:0.6em;color:#111;background:#fff}
body.big{font-size:150%}
h1{font-size:1.4em;margin:0.2em 0}
.facts{display:flex;flex-wrap:wrap;gap:0 1.2em;align-items:baseline}
.facts>span{white-space:nowrap}
.facts>span:has(span:empty){display:none}
.facts b{color:#1a3d8f}
#live{font-size:0.8em;color:#666}
table{border-collapse:collapse;width:100%;margin:0.5em 0 1em}
th,td{border-bottom:1px solid #ccc;padding:0.2em 0.4em;text-align:left;vertical-align:top}
th{background:#e8eefc}
tr.out td{color:#888;text-decoration:line-through}
.msg{font-weight:bold;margin:0.5em 0}
input{font-size:1.2em;padding:0.2em;text-transform:uppercase;max-width:100%}
@media (max-width:600px){
 table,thead,tbody,tr,th,td{display:block;width:auto}
 thead{display:none}
 tr{border:1px solid #ccc;margin:0 0 0.5em;padding:0.2em}
 td{border:none;padding:0.1em 0.3em}
 td:empty{display:none}
 td:before{content:attr(data-label) ": ";color:#1a3d8f;font-weight:bold}
 .facts{flex-direction:column}
 #checkins{display:flex;flex-direction:column}
 body:not(.big) #checkins{flex-direction:column-reverse}
 #checkins tr{display:flex;flex-wrap:wrap;gap:0 0.6em;margin:0;padding:0.15em 0.2em;border:none;border-bottom:1px solid #ccc}
 #checkins td{padding:0}
 #checkins td:before{content:none}
 #checkins td[data-label=Callsign]{font-weight:bold}
 #checkins td[data-label=Out]{display:none}
}
.desk input,.desk select{font-size:1em;text-transform:none}
.desk input.up{text-transform:uppercase}
.desk label{display:inline-block;margin:0 0.4em 0.3em 0}
#messages{margin:0.3em 0;padding:0;list-style:none;font-size:0.95em}
#messages li.ncs{font-weight:bold}
</style>)";

// Builds the rows from the JSON with textContent only, so no text from the
// net becomes markup; reconnects the event stream when the browser gives up.
const char kScript[] = R"JS(<script>
"use strict";
const checkInCols=[["callsign","Callsign"],["name","Name"],["location","Location"],["state","State"],["options","Options"],["logTime","Logged"],["out","Out"]];
const trafficCols=[["from","From"],["count","Count"],["precedence","Precedence"],["destination","Destination"],["passedTo","Passed to"],["passed","Passed"]];
function cell(v){return v===true?"yes":v===false?"":String(v);}
const newestFirst=document.body.classList.contains("big");
function fill(id,rows,cols){
 const body=document.getElementById(id);if(!body)return;
 const fresh=document.createElement("tbody");fresh.id=id;
 if(newestFirst&&id==="checkins")rows=rows.slice().reverse();
 for(const r of rows){const tr=document.createElement("tr");if(r.out===true)tr.className="out";
  for(const [k,label] of cols){const td=document.createElement("td");td.dataset.label=label;td.textContent=cell(r[k]);tr.appendChild(td);}
  fresh.appendChild(tr);}
 body.replaceWith(fresh);
}
function show(net){
 for(const k of ["name","frequency","ncs","started","ended","state","times"]){const e=document.getElementById("net-"+k);if(e)e.textContent=net[k];}
 const h=document.getElementById("logged-head");if(h)h.textContent="Logged ("+net.times+")";
 const n=document.getElementById("net-count");if(n)n.textContent=net.checkIns.length;
 fill("checkins",net.checkIns,checkInCols);fill("traffic",net.traffic,trafficCols);
 document.title=net.name;
}
function live(text){const e=document.getElementById("live");if(e)e.textContent=text;}
// A large net comes whole first ("net"), then as changes: one splice each of
// check-ins and traffic, and the facts.
let current=null;
function splice(rows,c){return rows.slice(0,c.at).concat(c.rows,rows.slice(c.at+c.remove));}
function applyChange(c){
 if(!current)return;
 for(const k of ["name","frequency","ncs","started","ended","state","times"])current[k]=c[k];
 current.checkIns=splice(current.checkIns,c.checkIns);current.traffic=splice(current.traffic,c.traffic);
 show(current);
}
function shown(){return current&&current.state==="closed"?"the net window is closed; this page follows the net when it opens again":"live";}
let source=null;
function connect(){
 source=new EventSource("/events");
 source.addEventListener("net",e=>{current=JSON.parse(e.data);show(current);live(shown());});
 source.addEventListener("change",e=>{applyChange(JSON.parse(e.data));live(shown());});
 source.onopen=()=>live(shown());
 source.onerror=()=>{live(current&&current.state==="closed"?shown():"reconnecting...");
  if(source.readyState===EventSource.CLOSED){source=null;setTimeout(connect,2000);}};
}
connect();
</script>)JS";

QString cells(const QStringList &values, const QStringList &labels)
{
    QString out;
    for (int i = 0; i < values.size(); ++i)
        out += QStringLiteral("<td data-label=\"%1\">%2</td>")
                   .arg(labels[i], htmlEscape(values[i]));
    return out;
}

QString timesText(const WebNet &net)
{
    return net.utc ? QStringLiteral("UTC") : QStringLiteral("local");
}

QString checkInRows(const WebNet &net, bool newestFirst)
{
    static const QStringList labels = { QStringLiteral("Callsign"), QStringLiteral("Name"),
        QStringLiteral("Location"), QStringLiteral("State"), QStringLiteral("Options"),
        QStringLiteral("Logged"), QStringLiteral("Out") };
    QString out;
    QList<WebCheckIn> rows = net.checkIns;
    if (newestFirst)
        std::reverse(rows.begin(), rows.end());
    for (const WebCheckIn &c : std::as_const(rows))
        out += (c.out ? QStringLiteral("<tr class=\"out\">") : QStringLiteral("<tr>"))
            + cells({ c.callsign, c.name, c.location, c.state, c.options, c.logTime,
                        c.out ? QStringLiteral("yes") : QString() },
                labels)
            + QStringLiteral("</tr>");
    return out;
}

QString trafficRows(const WebNet &net)
{
    static const QStringList labels = { QStringLiteral("From"), QStringLiteral("Count"),
        QStringLiteral("Precedence"), QStringLiteral("Destination"), QStringLiteral("Passed to"),
        QStringLiteral("Passed") };
    QString out;
    for (const WebTraffic &t : net.traffic)
        out += QStringLiteral("<tr>")
            + cells({ t.from, t.count, t.precedence, t.destination, t.passedTo,
                        t.passed ? QStringLiteral("yes") : QString() },
                labels)
            + QStringLiteral("</tr>");
    return out;
}

QString head(const QString &title, bool big)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                          "<title>")
        + htmlEscape(title) + QStringLiteral("</title>") + QString::fromLatin1(kStyle)
        + QStringLiteral("</head><body")
        + (big ? QStringLiteral(" class=\"big\">") : QStringLiteral(">"));
}

QString netFacts(const WebNet &net)
{
    auto fact = [](const char *id, const char *label, const QString &value) {
        return QStringLiteral("<span><b>%1</b> <span id=\"net-%2\">%3</span></span>")
            .arg(QLatin1String(label), QLatin1String(id), htmlEscape(value));
    };
    return QStringLiteral("<h1 id=\"net-name\">") + htmlEscape(net.name)
        + QStringLiteral("</h1><div class=\"facts\">")
        + fact("frequency", "Frequency", net.frequency) + fact("ncs", "NCS", net.ncs)
        + fact("started", "Started", net.started) + fact("ended", "Ended", net.ended)
        + fact("state", "Net", net.state) + fact("times", "Times", timesText(net))
        + fact("count", "Check-ins", QString::number(net.checkIns.size()))
        + QStringLiteral("<span id=\"live\"></span></div>");
}

QString checkInTable(const WebNet &net, bool newestFirst)
{
    return QStringLiteral("<table><thead><tr><th>Callsign</th><th>Name</th><th>Location</th>"
                          "<th>State</th><th>Options</th><th id=\"logged-head\">Logged (%1)</th>"
                          "<th>Out</th></tr></thead><tbody id=\"checkins\">")
               .arg(timesText(net))
        + checkInRows(net, newestFirst) + QStringLiteral("</tbody></table>");
}

} // namespace

QString stateText(netlog::NetState state)
{
    switch (state) {
    case netlog::NetState::Opened:
        return QStringLiteral("not started");
    case netlog::NetState::Started:
        return QStringLiteral("running");
    case netlog::NetState::Ended:
        return QStringLiteral("ended");
    case netlog::NetState::Locked:
        return QStringLiteral("locked");
    }
    return {};
}

WebNet webNetFrom(const reports::NetReportData &data, netlog::NetState state)
{
    static const QHash<QString, QString> precedence
        = { { QStringLiteral("1"), QStringLiteral("EMERGENCY") },
              { QStringLiteral("2"), QStringLiteral("Priority") },
              { QStringLiteral("3"), QStringLiteral("Welfare") },
              { QStringLiteral("4"), QStringLiteral("Routine") } };
    WebNet net;
    net.name = data.netname.trimmed();
    net.frequency = frequencyWithUnit(data.frequency);
    net.utc = data.utc;
    net.ncs = data.ncscall.trimmed();
    net.started = afterLabel(data.startLine, QLatin1String("Start"));
    net.ended = afterLabel(data.endLine, QLatin1String("End"));
    net.state = stateText(state);
    // Opened again after it ended (or after Unlock): the net window offers
    // Start Net, but the net has ended, as its end line says.
    if (state == netlog::NetState::Opened && !net.ended.isEmpty())
        net.state = stateText(netlog::NetState::Ended);
    for (const reports::CheckIn &c : data.checkIns) {
        if (c.callsign.trimmed().isEmpty())
            continue;
        net.checkIns.append({ c.callsign.trimmed(), c.name.trimmed(), c.location.trimmed(),
            c.state.trimmed(), optionLetters(c), c.logtime.trimmed(), c.out.toInt() != 0 });
    }
    for (const reports::HeldTraffic &t : data.heldTraffic) {
        const QString p = t.precedenceNumber.trimmed();
        net.traffic.append({ t.callsignfrom.trimmed(), t.count.trimmed(), precedence.value(p, p),
            t.goingto.trimmed(), t.passedto.trimmed(), t.passed });
    }
    return net;
}

namespace {

QJsonObject checkInJson(const WebCheckIn &c)
{
    return { { QStringLiteral("callsign"), c.callsign }, { QStringLiteral("name"), c.name },
        { QStringLiteral("location"), c.location }, { QStringLiteral("state"), c.state },
        { QStringLiteral("options"), c.options }, { QStringLiteral("logTime"), c.logTime },
        { QStringLiteral("out"), c.out } };
}

QJsonObject trafficJson(const WebTraffic &t)
{
    return { { QStringLiteral("from"), t.from }, { QStringLiteral("count"), t.count },
        { QStringLiteral("precedence"), t.precedence },
        { QStringLiteral("destination"), t.destination },
        { QStringLiteral("passedTo"), t.passedTo }, { QStringLiteral("passed"), t.passed } };
}

QJsonObject netFactsJson(const WebNet &net)
{
    return { { QStringLiteral("name"), net.name }, { QStringLiteral("frequency"), net.frequency },
        { QStringLiteral("ncs"), net.ncs }, { QStringLiteral("started"), net.started },
        { QStringLiteral("ended"), net.ended }, { QStringLiteral("state"), net.state },
        { QStringLiteral("times"), timesText(net) } };
}

// One splice that turns before into after: the rows between their common
// start and common end are replaced.
template<typename Row, typename ToJson>
QJsonObject splice(const QList<Row> &before, const QList<Row> &after, ToJson toJson)
{
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
        && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    QJsonArray rows;
    for (qsizetype i = head; i < after.size() - tail; ++i)
        rows.append(toJson(after[i]));
    return { { QStringLiteral("at"), head },
        { QStringLiteral("remove"), before.size() - head - tail },
        { QStringLiteral("rows"), rows } };
}

} // namespace

QByteArray netJson(const WebNet &net)
{
    QJsonArray checkIns;
    for (const WebCheckIn &c : net.checkIns)
        checkIns.append(checkInJson(c));
    QJsonArray traffic;
    for (const WebTraffic &t : net.traffic)
        traffic.append(trafficJson(t));
    QJsonObject root = netFactsJson(net);
    root.insert(QStringLiteral("checkIns"), checkIns);
    root.insert(QStringLiteral("traffic"), traffic);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray netChangeJson(const WebNet &before, const WebNet &after)
{
    QJsonObject root = netFactsJson(after);
    root.insert(QStringLiteral("checkIns"), splice(before.checkIns, after.checkIns, checkInJson));
    root.insert(QStringLiteral("traffic"), splice(before.traffic, after.traffic, trafficJson));
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray suggestionsJson(const QList<Suggestion> &suggestions)
{
    QJsonArray list;
    for (const Suggestion &s : suggestions.first(qMin(suggestions.size(), kMaxSuggestions)))
        list.append(QJsonObject { { QStringLiteral("callsign"), s.callsign },
            { QStringLiteral("name"), s.name }, { QStringLiteral("location"), s.location },
            { QStringLiteral("state"), s.state } });
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

QByteArray livePage(const WebNet &net, bool big)
{
    QString html = head(net.name, big) + netFacts(net)
        + (big ? QStringLiteral("<h2>Check-ins, newest first</h2>")
               : QStringLiteral("<h2>Check-ins</h2>"))
        + checkInTable(net, big)
        + QStringLiteral("<h2>Traffic held</h2><table><thead><tr><th>From</th><th>Count</th>"
                         "<th>Precedence</th><th>Destination</th><th>Passed to</th>"
                         "<th>Passed</th></tr></thead><tbody id=\"traffic\">")
        + trafficRows(net) + QStringLiteral("</tbody></table>") + QString::fromLatin1(kScript)
        + QStringLiteral("</body></html>\n");
    return html.toUtf8();
}

QByteArray pinPage(const QString &message, const QString &name)
{
    QString html = head(QStringLiteral("Logger"), false)
        + QStringLiteral("<h1>Logger</h1><p>The PIN is shown in the net window's status bar. "
                         "Your name goes beside the rows you log.</p>");
    if (!message.isEmpty())
        html += QStringLiteral("<p class=\"msg\">") + htmlEscape(message) + QStringLiteral("</p>");
    html += QStringLiteral("<form method=\"post\" action=\"/log/pin\"><label>Your name "
                           "<input name=\"name\" maxlength=\"%1\" value=\"%2\" "
                           "style=\"text-transform:none\" required autofocus></label> "
                           "<label>PIN <input name=\"pin\" type=\"password\" "
                           "placeholder=\"1234-5678-9012\" autocomplete=\"off\"></label> "
                           "<button>Open</button></form></body></html>\n")
                .arg(kMaxLoggerName)
                .arg(htmlEscape(name));
    return html.toUtf8();
}

QByteArray loggerPage(const WebNet &net)
{
    QString html = head(QStringLiteral("Logger: ") + net.name, false) + netFacts(net)
        + QStringLiteral(
            "<p id=\"desk\"></p>"
            "<form id=\"logform\" class=\"desk\" autocomplete=\"off\">"
            "<label>Callsign <input id=\"callsign\" name=\"callsign\" class=\"up\" list=\"calls\" "
            "maxlength=\"20\" size=\"9\" autofocus></label>"
            "<label>Name <input id=\"name\" name=\"name\" maxlength=\"25\" size=\"10\"></label>"
            "<label>Location <input id=\"location\" name=\"location\" maxlength=\"50\" "
            "size=\"14\"></label>"
            "<label>State <input id=\"state\" name=\"state\" class=\"up\" maxlength=\"10\" "
            "size=\"3\"></label>"
            "<label title=\"E emergency, P priority, R routine, W welfare, I informal, O in/out, "
            "F fixed, M mobile, T portable\">Options <input id=\"options\" name=\"options\" "
            "class=\"up\" maxlength=\"9\" size=\"5\"></label>"
            "<br><label>Traffic <select id=\"prec\" name=\"prec\"><option value=\"\"></option>"
            "<option>E</option><option>P</option><option>R</option><option>W</option></select>"
            "</label><label>Count <input id=\"count\" name=\"count\" inputmode=\"numeric\" "
            "maxlength=\"4\" size=\"3\"></label><label>To <input id=\"dest\" name=\"dest\" "
            "class=\"up\" maxlength=\"30\" size=\"10\"></label> <button id=\"log\">Log</button> "
            "<button type=\"button\" id=\"again\" hidden>Log again</button>"
            "<datalist id=\"calls\"></datalist></form><p class=\"msg\" id=\"answer\"></p>"
            "<form id=\"sayform\" class=\"desk\" autocomplete=\"off\"><label>Message to the net "
            "control station <input id=\"say\" maxlength=\"200\" size=\"40\"></label> "
            "<button>Send</button></form><ul id=\"messages\"></ul>")
        + QStringLiteral("<h2>Check-ins</h2>") + checkInTable(net, false)
        + QString::fromLatin1(kScript) + QStringLiteral(R"JS(<script>
"use strict";
const $=id=>document.getElementById(id);
const box=$("callsign"),found=new Map();
let asked="",edited=false,filledFor="";
function post(path,body){return fetch(path,{method:"POST",headers:{"Content-Type":"application/x-www-form-urlencoded"},body:body});}
function reopened(r){if(r.status===401){location.href="/log";return true;}return false;}
async function lookup(q){
 if(!q||q===asked)return;asked=q;
 let r;try{r=await fetch("/log/suggest?q="+encodeURIComponent(q));}catch(e){return;}
 if(reopened(r)||!r.ok)return;
 const list=$("calls");list.replaceChildren();
 for(const s of await r.json()){found.set(s.callsign,s);
  const o=document.createElement("option");o.value=s.callsign;o.textContent=s.name;list.appendChild(o);}
}
// Leaving the callsign fills name, location and state from the master
// database, as the net window does; a name the logger typed stays.
async function fillFromMaster(){
 const q=box.value.trim().toUpperCase();
 if(!q||q===filledFor)return;
 if(!found.has(q)){asked="";await lookup(q);}
 const s=found.get(q);if(!s)return;
 filledFor=q;if(edited)return;
 $("name").value=s.name;$("location").value=s.location;$("state").value=s.state;
}
box.addEventListener("input",()=>{lookup(box.value.trim().toUpperCase());});
box.addEventListener("change",fillFromMaster);
$("name").addEventListener("focus",fillFromMaster);
$("name").addEventListener("input",()=>{edited=true;});
$("options").addEventListener("input",()=>{
 const p=[...$("options").value.toUpperCase()].filter(c=>"EPRW".includes(c)).pop();
 if(p)$("prec").value=p;});
function rowBody(again){
 const f=new URLSearchParams();
 for(const k of ["callsign","name","location","state","options","prec","count","dest"])f.set(k,$(k).value);
 f.set("edited",edited?"1":"0");if(again)f.set("again","1");
 return f.toString();
}
async function send(again){
 const answer=$("answer");answer.textContent="sending...";$("again").hidden=true;
 await fillFromMaster();
 let r;
 try{r=await post("/log",rowBody(again));}
 catch(err){answer.textContent="No answer from the station: its net window is closed or out of reach. Not logged.";box.focus();return;}
 answer.textContent=(await r.text()).trim();
 // A session of an earlier opening of the net: the PIN form, saying why.
 if(r.status===401){setTimeout(()=>{location.href="/log";},1500);return;}
 if(r.status===409&&r.headers.get("Rollcall-Confirm")){
  answer.textContent+=": press Log again to log it twice.";$("again").hidden=false;$("again").focus();return;}
 if(r.ok){for(const k of ["callsign","name","location","state","options","count","dest"])$(k).value="";
  $("prec").value="";edited=false;filledFor="";}
 box.focus();
}
$("logform").addEventListener("submit",e=>{e.preventDefault();send(false);});
$("again").addEventListener("click",()=>send(true));
// The desk: who logs, and the message line; looked at every few seconds.
let lastMessage=0;
async function desk(){
 let r;try{r=await fetch("/log/desk?after="+lastMessage);}catch(e){return;}
 if(reopened(r)||!r.ok)return;
 const d=await r.json();
 $("desk").textContent="You log as "+d.you+". Loggers: "+d.loggers.join(", ");
 const list=$("messages");
 for(const m of d.messages){if(m.id<=lastMessage)continue;lastMessage=m.id;
  const li=document.createElement("li");if(m.from==="NCS")li.className="ncs";
  li.textContent=m.time+" "+m.from+": "+m.text;list.prepend(li);}
 while(list.children.length>5)list.lastChild.remove();
}
desk();setInterval(desk,3000);
$("sayform").addEventListener("submit",async e=>{
 e.preventDefault();const text=$("say").value;if(!text.trim())return;
 let r;try{r=await post("/log/say","text="+encodeURIComponent(text));}catch(err){return;}
 if(reopened(r))return;
 if(r.ok){$("say").value="";desk();}
});
</script></body></html>
)JS");
    return html.toUtf8();
}

} // namespace rollcall::web
