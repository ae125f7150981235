// A page opened with ?report in its address posts what it shows, as JSON, to /report on the
// server it came from, for the browser leg to read from browsers that no script drives
// (tests/browser/check-pages.js with Firefox). An uncaught error is posted too, so that a failing
// page says so at once rather than by a time-out. Without ?report, nothing is posted.
'use strict';

const kReporting = new URLSearchParams(location.search).has('report');

function orvelReport(outcome) {
  if (!kReporting) return;
  fetch('/report', {method: 'POST', body: JSON.stringify({page: location.pathname, ...outcome})})
      .catch((error) => console.error(`report: ${error.message}`));
}

if (kReporting) {
  addEventListener('error', (event) => orvelReport({error: event.message}));
  addEventListener('unhandledrejection', (event) => orvelReport({error: `${event.reason}`}));
}
