<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>ConfigKeeper</name>
    <message>
        <source>System error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some copy policies or tasks could not be used as stored. Until you pick or save a policy for them, these run with deletion off:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twinfold can&apos;t save its configuration, the previous file is kept:
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileExcludePage</name>
    <message>
        <source>File exclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exclude &amp;file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exclude file &amp;type (separated by &quot;;&quot;)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exclude file &amp;attributes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select exclude file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>please enter file type you want to exclude (For example: exe;bat;) Or press right button to auto scan.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click to get all file type(s) automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click right button to select file attribute(s) you want to exclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click to select file attribute(s) you want to exclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select main folder first !</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileIncludePage</name>
    <message>
        <source>File include</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(*) To active this function, you must have one task folder at least.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Include these files:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Include file(s) will be saved at:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select include file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>select include file(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>include file(s) will be save at this directory. One task folder required at least.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GeneralPage</name>
    <message>
        <source>General setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(what&apos;s copy policy?)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable l&amp;og</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Task name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a copy &amp;policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (missing: deletion off)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please specify a task name !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log path is invalid, task log is disabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click to see what is copy policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>give a easy name to help you to remember</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>select copy policy which you want to use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>task name is required</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select LOG file path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twinfold task log (*.log)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpPages</name>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t display help, please contract us !</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Twinfold help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt; &amp;Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forward &gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LogViewer</name>
    <message>
        <source>&amp;Reload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The log %1 cannot be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (the last %2 MiB of %3 MiB)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>&amp;Task(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add task...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;move task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit task...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Wizard...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vers&amp;ions...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settin&amp;gs...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ab&amp;out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>run this task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sim&amp;ulate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>simulate run, test task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>abort task running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pre&amp;view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>list what a run would do, then run exactly that</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Histor&amp;y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the runs of this task and why they failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show &amp;progress detail </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>help of Twinfold !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>appreciate your suggestion</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>copy policy : %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;History...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pre&amp;view...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModalLoops</name>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlanModel</name>
    <message>
        <source>%1
to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Operation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reason</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exclude</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunController</name>
    <message>
        <source>Gather file information,please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gather file information, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No plan could be made for &quot;%1&quot;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the plan, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task &quot;%1&quot; would delete %2 of the %3 entries in the mirror folder
%4
(main folder %5).

Delete them? With No, nothing is deleted from this mirror folder and the rest of the run goes ahead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last run of &quot;%1&quot;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>aborted</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Task &quot;%1&quot;: %n operation(s) failed</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n skipped</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n deletion(s) were held back: the run would have deleted most of a mirror folder.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>See the task log: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click here for the task&apos;s history.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task is running,are you sure to abort it ?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunStatus</name>
    <message>
        <source>aborted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>failed %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>skipped %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 done, %2 failed, %3 skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(simulation)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>tray</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>schedule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>command line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>last run %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>never run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>overdue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>last real run failed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SchedulePage</name>
    <message>
        <source>Task schedule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run this task &amp;every</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run this task &amp;at</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run &amp;missed fixed-time runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Action</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Simulate run the task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Run the task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current time :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last run time :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run times :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>enable or disable interval schedule.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>enable or disable fixed schedule.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>setup interval time. ( &gt;= 5 and &lt;= 59 )</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>setup fixed time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>run once at start-up or wake-up when the fixed time passed while the program was not running.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Twinfold</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TaskFolderPage</name>
    <message>
        <source>Task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>delete selected task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task folder list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click to add task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>click to delete task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>main task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mirror task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>main and mirror folder list, click &quot;+&quot; to add, click &quot;-&quot; to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select the main folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select the mirror folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TaskHistory</name>
    <message>
        <source>The run history cannot be kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>No successful run for more than %n day(s): %1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TfrmCopyPolicy</name>
    <message>
        <source>Copy policy definition</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy &amp;policy name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exist only in &amp;main </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exist in main and mirr&amp;or </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy if &amp;size differ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy if &amp;time differ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main is later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy if &amp;attribute differ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exist o&amp;nly in mirror</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put to Recycle bin </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If you delete this copy policy, all tasks which use it will set to default. </source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>

This policy never deletes anything from a mirror, but the default policy removes files and folders that exist only in the mirror. The %n task(s) using it (%1) will start removing such files from their mirrors.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>

Continue?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmHistory</name>
    <message>
        <source>History of &quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Started by</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First reason</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open task &amp;log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>simulation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This task has not run yet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n run(s), newest first.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>The run was stopped before it ended.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 deletion(s) were held back: the run would have deleted most of a mirror folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[Error]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[Skip]</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>Twinfold !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twinfold! (v%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to delete task(s) you selected ?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Twinfold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Twinfold !&lt;/b&gt;&lt;br&gt;Version %1&lt;br&gt;&lt;br&gt;Keeps folders in step one way and makes backup copies.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task is running,are you sure stop it and quit Twinfold?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmPreview</name>
    <message>
        <source>Plan of &quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All operations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deletions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changes (no skips or exclusions)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Show:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Run this plan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>carry out exactly this plan; what changed since it was made is skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing to do: the plan is empty.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmProgress</name>
    <message>
        <source>Current task process</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change be found after lastest sync:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Already complete :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 file(s), %2 directory(s)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmSelectFileAttr</name>
    <message>
        <source>Select file attribute(s) </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select file attributes(s) you want to exclude</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmSelectFileType</name>
    <message>
        <source>Select file type(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select file type(s) you want to exclude</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmSettings</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mass deletion</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A run started by you asks first, and a scheduled run holds the deletions back, when it would delete more than this share of a mirror folder&apos;s entries and more than this many entries. 100% turns the guard off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More than a &amp;share of</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>and more &amp;entries than</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>never</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> day(s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warn when a scheduled task has had no successful real run for this long</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start with the desktop &amp;session</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New tasks &amp;run missed fixed-time runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Overdue warning after</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop session&apos;s autostart entry cannot be changed:
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmSuggestion</name>
    <message>
        <source>Your suggestion</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please write your suggestion to this address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Write mail...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I have a good idea</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmTaskDefine</name>
    <message>
        <source>Task definition</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File include</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File exclude</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set task name and log, select Copy Policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>include some separate file(s).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exclude some files from task folder which you don&apos;t want to synchronize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>set task folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>set task schedule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>keep the files a run replaces or deletes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>set advanced options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>save and close task definition window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>discard all changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The versions folder can not be used: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gathering the file types, please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File types</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Versions</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmTaskWizard</name>
    <message>
        <source>welcome to task definition wizard !</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-Through this wizard, you can define a  Twinfold! task. Just 4 step!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1. Give a task name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2. Select main &amp; mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3.Select a copy policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>4.Summary about task you just defined</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click &quot;Next&quot; to continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give your task a human-reading name :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter an easy task name for you to remember. For example, you can give a name like &quot;Sync My Document folder&quot;. When you see this task next time, you will know what will happen immediately. You can change task name anytime.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose main and mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File will be copied from main folder to mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What&apos;s the copy policy?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now, please Select a copy policy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can customize your own copy policy or choose system default. NOTE: default copy policy will make  mirror folder same as main folder. That&apos;s means that files will be deleted if it exists in mirror folder only.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-Task name :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-Copy policy : </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-main folder :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-mirror folder :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK ! Already has engouth information to create a new task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Here are summary of task which you just define. If no error be find, please click &quot;Finish&quot; to create it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt; &amp;Priv</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next &gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Finish</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Task definition wizard - %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (missing: deletion off)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please input a task name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please specify a main folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please specify a mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select the main folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select the mirror folder:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TfrmVersions</name>
    <message>
        <source>Versions - %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find a file by name in every run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore &amp;to...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore to &amp;main folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs, newest first:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This task keeps no versions; turn them on in its settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The versions folder can not be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restored %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>versions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select what to restore first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore into a new folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) already exist in the main folder:%1

Replace them with the kept version?</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) restored.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n existing file(s) left as they were.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed: %1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TrayController</name>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Simulate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show progress detail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show main window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twinfold!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VersionSettingsPage</name>
    <message>
        <source>Versions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Keep the mirror files a run replaces or deletes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>At most this many &amp;days:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>At most this many versions of each &amp;file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Versions f&amp;older:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in the first mirror folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This folder is on another file system than the mirror: every file kept is copied there, then removed from the mirror, which takes longer than moving it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Versions folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>config</name>
    <message>
        <source>Twinfold default config file missed, please reinstall Twinfold!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Twinfold can&apos;t parse XML document, please contract us : support@twinfold.org</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>dialogs</name>
    <message>
        <source>&amp;OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please choose both folders of the pair.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The mirror folder is the main folder itself. Please choose another.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The mirror folder is inside the main folder: a run would copy the main folder into itself. Please choose a mirror folder outside it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The main folder is inside the mirror folder: deleting what exists only in the mirror would delete the main folder. Please choose another mirror folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This task has no folder pair, so it cannot run yet.
Save it anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The main folder &quot;%1&quot; does not exist, so the task cannot run until it does.
Save it anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
