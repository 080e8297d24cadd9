<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:p="urn:p" xmlns:q="urn:q" exclude-result-prefixes="p">
<xsl:template match="/"><r><inner q:a="1"/><xsl:element name="p:made" namespace="urn:p"/><xsl:element name="z:made" namespace="urn:z" xmlns:z="urn:z"/></r></xsl:template>
</xsl:stylesheet>
