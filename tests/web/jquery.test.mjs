// A third-party page that reads the service with jQuery's JSONP. The service
// takes everything after the first "=" as the callback name, so jQuery's
// cache-busting "&_=<time>" must be turned off with `cache: true`.
import { test } from "node:test";
import assert from "node:assert/strict";
import path from "node:path";
import { pathToFileURL } from "node:url";
import { here, startService, withPage, withProcesses } from "./harness.mjs";

const jqueryPage = pathToFileURL(path.join(here, "jquery-page.html")).href;

// Runs $.ajax in the page; resolves with what its callbacks saw.
function readWithJquery(page, options) {
  return page.evaluate((options) => new Promise((resolve) => {
    window.jQuery.ajax({ url: "http://localhost:5000/", dataType: "jsonp", timeout: 10000, ...options })
      .done((doc) => resolve({ outcome: "done", status: doc.Status, points: doc.RadiationPoints.length }))
      .fail((request, textStatus) => resolve({ outcome: textStatus }));
  }), options);
}

const cases = [
  // options, what jQuery reports, the request target it sends
  [{ cache: true }, { outcome: "done", status: "0", points: 3 }, /^\/\?callback=jQuery\d+_\d+$/],
  [{}, { outcome: "parsererror" }, /^\/\?callback=jQuery\d+_\d+&_=\d+$/],
];

for (const [options, expected, target] of cases) {
  test(`jQuery JSONP with ${JSON.stringify(options)} ends as ${expected.outcome}`, async () => {
    await withProcesses([() => startService("log 3\n")], () => withPage(jqueryPage, async (page) => {
      const targets = [];
      page.on("request", (request) => {
        const url = new URL(request.url());
        if (url.port === "5000") targets.push(url.pathname + url.search);
      });
      const pageErrors = [];
      page.on("pageerror", (error) => pageErrors.push(`${error.name}: ${error.message}`));
      assert.deepEqual(await readWithJquery(page, options), expected);
      assert.equal(targets.length, 1);
      assert.match(targets[0], target);
      // Without cache: true the callback name swallows "&_=…", and the reply is no valid script.
      assert.equal(pageErrors.length, expected.outcome === "done" ? 0 : 1);
      pageErrors.forEach((message) => assert.match(message, /SyntaxError: Invalid left-hand side in assignment/));
    }));
  });
}
