// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/boardpage.h"

#include "app/session.h"
#include "incident/netposts.h"
#include "store/netfiles.h"
#include "web/httpmessage.h"
#include "web/webservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rollcall::web {

namespace {
const char *stateName(incident::PostState state)
{
    switch (state) {
    case incident::PostState::Heard:
        return "ok";
    case incident::PostState::Overdue:
        return "overdue";
    case incident::PostState::Silent:
        return "silent";
    }
    return "ok";
}

// The plan as last saved, read once per change rather than per request: a
// room full of phones asks often.
class BoardSource : public QObject
{
public:
    explicit BoardSource(WebService *service) : QObject(service), service_(service)
    {
        auto &posts = incident::NetPosts::instance();
        connect(&posts, &incident::NetPosts::changed, this, &BoardSource::tell);
        connect(&posts, &incident::NetPosts::planChanged, this, [this] {
            folder_.clear(); // read again at the next request
            tell();
        });
    }

    QByteArray json()
    {
        const QString folder = incident::NetPosts::instance().netFolder();
        if (folder != folder_) {
            folder_ = folder;
            incident::loadChannelPlan(folder, &plan_); // what can be read of a damaged plan
        }
        return boardJson(folder.isEmpty() ? QString() : store::netname(folder),
            incident::NetPosts::instance().list().posts(), plan_.channels, session().clock->now(),
            plan_.instructions);
    }

private:
    void tell() { service_->server()->broadcast(serverSentEvent("board", "{}")); }

    WebService *service_;
    QString folder_;
    incident::ChannelPlan plan_;
};
} // namespace

QByteArray boardJson(const QString &netName, const QList<incident::Post> &posts,
    const QList<incident::Channel> &channels, const QDateTime &now, const QString &instructions)
{
    QJsonArray rows;
    for (int i : incident::boardOrder(posts, now)) {
        const incident::Post &p = posts[i];
        const incident::PostStatus s = incident::postStatus(p, now);
        rows.append(QJsonObject {
            { QStringLiteral("tactical"), p.tactical },
            { QStringLiteral("operator"), s.operatorCall },
            { QStringLiteral("location"), p.location },
            { QStringLiteral("heard"),
                p.lastHeard.isValid() ? p.lastHeard.toLocalTime().toString(QStringLiteral("HH:mm"))
                                      : QString() },
            { QStringLiteral("minutes"), double(s.silentMinutes) },
            { QStringLiteral("every"), p.intervalMinutes },
            { QStringLiteral("state"), QString::fromLatin1(stateName(s.state)) },
            { QStringLiteral("unstaffed"), s.unstaffed },
        });
    }
    QJsonArray plan;
    for (const incident::Channel &c : channels)
        plan.append(QJsonObject { { QStringLiteral("function"), c.function },
            { QStringLiteral("name"), c.name }, { QStringLiteral("assignment"), c.assignment },
            { QStringLiteral("rx"), c.rxFrequency }, { QStringLiteral("tx"), c.txFrequency },
            { QStringLiteral("mode"), c.mode }, { QStringLiteral("tone"), c.tone },
            { QStringLiteral("remarks"), c.remarks } });
    return QJsonDocument(
        QJsonObject { { QStringLiteral("net"), netName },
            { QStringLiteral("now"), now.toLocalTime().toString(QStringLiteral("HH:mm")) },
            { QStringLiteral("posts"), rows }, { QStringLiteral("channels"), plan },
            { QStringLiteral("instructions"), instructions } })
        .toJson(QJsonDocument::Compact);
}

QByteArray boardPage()
{
    // Every text goes in through textContent: a post named "<script>" is a name.
    return QByteArrayLiteral(R"BOARD(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Status board</title>
<style>
body{margin:0;font-family:sans-serif;background:#111;color:#eee;font-size:clamp(16px,2.4vw,40px)}
header{display:flex;justify-content:space-between;padding:.3em .6em;background:#222}
h1{font-size:1.2em;margin:0}h2{font-size:1em;margin:.6em .6em .2em}
table{border-collapse:collapse;width:100%}
th,td{text-align:left;padding:.25em .6em;border-bottom:1px solid #444}
th{color:#aaa;font-weight:normal;font-size:.8em}
tr.overdue td{background:#8a5a00}tr.silent td{background:#8b0000}
.flag{font-weight:bold;color:#ffd24d}
#channels{font-size:.75em}#status{color:#aaa;font-size:.8em}
#instructions{font-size:.75em;margin:.4em .6em;white-space:pre-line}
@media (max-width:640px){
 #posts thead{display:none}
 #posts tr{display:block;border-bottom:2px solid #444;padding:.2em 0}
 #posts td{display:inline-block;border:0;padding:.1em .4em}
 #posts td.tac{display:block;font-size:1.3em;font-weight:bold}
 #channels td:nth-child(n+6),#channels th:nth-child(n+6){display:none}
}
</style></head><body>
<header><h1 id="net">Status board</h1><span id="clock"></span></header>
<table id="posts"><thead><tr><th>Post</th><th>Operator</th><th>Location</th><th>Last heard</th><th>Status</th></tr></thead><tbody></tbody></table>
<h2 id="plantitle" hidden>Radio channels (ICS 205)</h2>
<table id="channels" hidden><thead><tr><th>Function</th><th>Channel</th><th>Assignment</th><th>RX</th><th>TX</th><th>Mode</th><th>Tone</th><th>Remarks</th></tr></thead><tbody></tbody></table>
<p id="instructions" hidden></p>
<p id="status"></p>
<script>
"use strict";
const cell=(tr,text,cls)=>{const td=document.createElement("td");td.textContent=text;if(cls)td.className=cls;tr.appendChild(td);return td;};
function show(b){
 document.getElementById("net").textContent=(b.net||"No net")+" \u2014 status board";
 document.getElementById("clock").textContent=b.now;
 const body=document.querySelector("#posts tbody");body.replaceChildren();
 for(const p of b.posts){
  const tr=document.createElement("tr");tr.className=p.state;
  cell(tr,p.tactical,"tac");
  const op=cell(tr,p.operator||"(none)");if(p.unstaffed)op.className="flag";
  cell(tr,p.location);
  cell(tr,p.heard?p.heard+" ("+p.minutes+" min ago)":"not yet ("+p.minutes+" min)");
  cell(tr,(p.state==="ok"?"ok":p.state==="overdue"?"OVERDUE":"SILENT")+(p.unstaffed?", no operator":""));
  body.appendChild(tr);}
 if(!b.posts.length){const tr=document.createElement("tr");cell(tr,"No open posts");body.appendChild(tr);}
 const plan=document.querySelector("#channels tbody");plan.replaceChildren();
 for(const c of b.channels){const tr=document.createElement("tr");
  for(const k of ["function","name","assignment","rx","tx","mode","tone","remarks"])cell(tr,c[k]);
  plan.appendChild(tr);}
 const notes=document.getElementById("instructions");notes.textContent=b.instructions||"";
 document.getElementById("channels").hidden=!b.channels.length;
 document.getElementById("plantitle").hidden=!b.channels.length&&!b.instructions;notes.hidden=!b.instructions;
}
let pending=false;
async function load(){
 if(pending)return;pending=true;
 try{const r=await fetch("/board.json",{cache:"no-store"});show(await r.json());
  document.getElementById("status").textContent="";}
 catch(e){document.getElementById("status").textContent="Reconnecting\u2026";}
 finally{pending=false;}
}
let source=null;
function connect(){
 source=new EventSource("/events");
 for(const name of ["net","change","board"])source.addEventListener(name,load);
 source.onerror=()=>{document.getElementById("status").textContent="Reconnecting\u2026";
  if(source.readyState===EventSource.CLOSED){source=null;setTimeout(connect,2000);}};
}
load();connect();setInterval(load,30000);
</script></body></html>
)BOARD");
}

void installBoard(WebService *service)
{
    auto *source = new BoardSource(service);
    service->addPage("/board", [](const HttpRequest &) {
        return httpResponse(200, "text/html; charset=utf-8", boardPage());
    });
    service->addPage("/board.json", [source](const HttpRequest &) {
        return httpResponse(200, "application/json", source->json());
    });
}

} // namespace rollcall::web
